#include "UiVideo.h"
#include "ui_UiVideo.h"

#include "LiveProxy.h"
#include "UiAddImage.h"
#include "UiAddText.h"
#include "UiToolTipDialog.h"

#include <QAction>
#include <QCursor>
#include <QMenu>
#include <QMouseEvent>

namespace {

// Event codes of the facade's preview editing.
enum PreviewEvent { Moved = 0, LeftPressed = 1, LeftReleased = 2, RightPressed = 3, RightReleased = 4 };

constexpr int kPreviewWidth = 800;
constexpr int kPreviewHeight = 450;

const char *const kMenuStyle = "QMenu{background-color:white;border:1px solid #ebecf0;}"
                               "QMenu::item{background-color:transparent;}"
                               "QMenu::item:selected{background-color:#ff5500;}"
                               "QMenu::separator{height:1px;background:#ebecf0;}";

} // namespace

UiVideo::UiVideo(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiVideo)
{
    ui->setupUi(this);
    resize(kPreviewWidth, kPreviewHeight);
    ui->widget_hide_video->setGeometry(0, 0, kPreviewWidth, kPreviewHeight);
    ui->widget_preview->setGeometry(0, 0, kPreviewWidth, kPreviewHeight);
    // The engine paints the surface; Qt must not paint over it.
    ui->widget_preview->setUpdatesEnabled(false);
    ui->widget_preview->setMouseTracking(true);
    ui->widget_hide_video->hide();
    ui->widget_preview->show();
    setMouseTracking(true);
}

UiVideo::~UiVideo()
{
    delete ui;
}

void UiVideo::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

void UiVideo::setCameraOpened(bool)
{
}

WId UiVideo::previewWindowId()
{
    return ui->widget_preview->winId();
}

int UiVideo::previewWidth() const
{
    return ui->widget_preview->width();
}

int UiVideo::previewHeight() const
{
    return ui->widget_preview->height();
}

void UiVideo::fillItemMenu(QMenu *menu, int itemType)
{
    connect(menu->addAction(QStringLiteral("上移")), &QAction::triggered, this, &UiVideo::slot_upVideoItem);
    connect(menu->addAction(QStringLiteral("下移")), &QAction::triggered, this, &UiVideo::slot_downVideoItem);
    connect(menu->addAction(QStringLiteral("置顶")), &QAction::triggered, this, &UiVideo::slot_topVideoItem);
    connect(menu->addAction(QStringLiteral("置底")), &QAction::triggered, this, &UiVideo::slot_bottomVideoItem);
    menu->addSeparator();
    if (itemType == SceneItemPlugin)
        connect(menu->addAction(QStringLiteral("设置")), &QAction::triggered, this, &UiVideo::slot_pluginConfig);
    else
        connect(menu->addAction(QStringLiteral("移除")), &QAction::triggered, this, &UiVideo::slot_removeVideoItem);
}

QPoint UiVideo::editingPoint(const QMouseEvent *event) const
{
    return QPoint(event->x() - ui->widget_preview->x(), event->y());
}

void UiVideo::mousePressEvent(QMouseEvent *event)
{
    if (!m_proxy)
        return;
    const QPoint p = editingPoint(event);
    if (event->button() == Qt::LeftButton) {
        m_proxy->handlePreviewMouse(this, LeftPressed, p.x(), p.y());
    } else if (event->button() == Qt::RightButton) {
        m_proxy->handlePreviewMouse(this, RightPressed, p.x(), p.y());
        const int id = m_proxy->currentItemId();
        const int type = id > 0 ? m_proxy->itemType(id) : 0;
        if (id > 0 && type != 0) {
            QMenu menu;
            fillItemMenu(&menu, type);
            menu.setStyleSheet(QString::fromLatin1(kMenuStyle));
            // Blocks until the menu closes; the chosen action has run by then.
            menu.exec(QCursor::pos());
        }
        m_proxy->handlePreviewMouse(this, RightReleased, p.x(), p.y());
    }
}

void UiVideo::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_proxy)
        return;
    const QPoint p = editingPoint(event);
    m_proxy->handlePreviewMouse(this, Moved, p.x(), p.y());
}

void UiVideo::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_proxy || event->button() != Qt::LeftButton)
        return;
    const QPoint p = editingPoint(event);
    m_proxy->handlePreviewMouse(this, LeftReleased, p.x(), p.y());
}

int UiVideo::selectedItem() const
{
    return m_proxy ? m_proxy->currentItemId() : 0;
}

QWidget *UiVideo::configParent() const
{
    QWidget *area = parentWidget();
    return area ? area->parentWidget() : nullptr;
}

void UiVideo::restack(void (LiveProxy::*move)(int))
{
    const int id = selectedItem();
    if (id <= 0)
        return;
    (m_proxy->*move)(id);
    emit itemsRestacked();
}

void UiVideo::slot_upVideoItem()
{
    restack(&LiveProxy::shiftUpItem);
}

void UiVideo::slot_downVideoItem()
{
    restack(&LiveProxy::shiftDownItem);
}

void UiVideo::slot_topVideoItem()
{
    restack(&LiveProxy::moveItemToTop);
}

void UiVideo::slot_bottomVideoItem()
{
    restack(&LiveProxy::moveItemToBottom);
}

void UiVideo::slot_removeVideoItem()
{
    const int id = selectedItem();
    if (id <= 0)
        return;
    emit removeItemRequested(id);
}

void UiVideo::slot_pluginConfig()
{
    const int id = selectedItem();
    if (id <= 0)
        return;
    if (!m_proxy->openPluginConfig(id, configParent())) {
        UiToolTipDialog box(QStringLiteral("打开配置失败!"), this);
        box.exec();
    }
}

void UiVideo::slot_textConfig()
{
    const int id = selectedItem();
    if (id <= 0)
        return;
    // Runs the editor on the item and puts the item back unless it was accepted.
    UiAddText::EditItem(m_proxy, id);
}

void UiVideo::slot_imageConfig()
{
    const int id = selectedItem();
    if (id <= 0)
        return;
    // Runs the editor on the item and applies the edit when it was accepted.
    UiAddImage::EditItem(m_proxy, id);
}

void UiVideo::on_pushButton_clicked()
{
    emit signal_OpenCamera();
}
