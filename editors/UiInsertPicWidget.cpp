#include "UiInsertPicWidget.h"

#include "LiveParams.h"
#include "LiveProxy.h"
#include "MvEnterBorderCancelButton.h"
#include "PictureFile.h"
#include "UiToolTipDialog.h"
#include "ui_UiInsertPicWidget.h"

#include <QDebug>
#include <QFileDialog>

namespace {

constexpr int kSlotSize = 76;
const QPoint kSlotPositions[UiInsertPicWidget::kMaxPictures] = {{12, 122}, {94, 122}, {176, 122}};
// Longest side of a picture as it first stands in the scene.
constexpr int kPlacedSide = 160;
constexpr int kPictureLayer = 3;
constexpr int kActionPictureAdded = 15;

} // namespace

UiInsertPicWidget::UiInsertPicWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiInsertPicWidget)
{
    ui->setupUi(this);
    for (int i = 0; i < kMaxPictures; ++i) {
        auto *slot = new MvEnterBorderCancelButton(this);
        slot->resize(kSlotSize, kSlotSize);
        m_slots << slot;
        connect(slot, SIGNAL(cellclick(int,int)), this, SLOT(on_cell_clicked(int,int)));
        connect(slot, SIGNAL(addelementclick()), this, SLOT(on_adddragpic()));
        connect(slot, SIGNAL(cancelbtnclick(int,int)), this, SLOT(on_cancel_clicked(int,int)));
    }
    // Queued: the picture is added once the drop event is over.
    connect(ui->pushButton_adddragpic, SIGNAL(signal_draggedpicture(QString)), this,
            SLOT(slot_draggedpicture(QString)), Qt::QueuedConnection);
    connect(ui->pushButton_adddragpic, SIGNAL(clicked(bool)), this, SLOT(on_adddragpic()));
    PositionSlots();
    m_slots[1]->hide();
    m_slots[2]->hide();
}

UiInsertPicWidget::~UiInsertPicWidget()
{
    delete ui;
}

void UiInsertPicWidget::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

void UiInsertPicWidget::PositionSlots()
{
    if (m_slots.size() != kMaxPictures)
        return;
    for (int i = 0; i < kMaxPictures; ++i)
        m_slots[i]->move(kSlotPositions[i]);
}

void UiInsertPicWidget::on_adddragpic()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("媒体文件"), QStringLiteral("."),
                                                      QStringLiteral("媒体文件(*.jpg *.bmp *.png *.gif)"));
    if (path.isEmpty())
        return;
    AddPictureFromFile(path);
}

void UiInsertPicWidget::slot_draggedpicture(QString path)
{
    AddPictureFromFile(path);
}

void UiInsertPicWidget::tell(const QString &text)
{
    UiToolTipDialog box(text, this);
    box.exec();
}

bool UiInsertPicWidget::CheckPictureSize(const QString &path)
{
    return picturefile::withinLimit(picturefile::headerSize(path));
}

void UiInsertPicWidget::AddPictureFromFile(const QString &path)
{
    if (m_pictures.size() >= kMaxPictures)
        return;
    // Judged by the header alone: a small file may claim a picture far too
    // large to decode. The refusal, if any, is logged with its reason.
    QSize size;
    const QString refused = picturefile::refusal(path, &size);
    if (!size.isValid()) {
        tell(refused);
        return;
    }
    if (!CheckPictureSize(path)) {
        tell(QStringLiteral("图片尺寸不能超过1920*1080！"));
        return;
    }
    // The engine would take broken picture data and show nothing; one
    // decode at the placed size finds it.
    if (picturefile::read(path, PlacedSize(size)).isNull()) {
        tell(QStringLiteral("图片读取失败!"));
        return;
    }
    if (!m_proxy)
        return;
    const int id = m_proxy->addImage(path.toUtf8().toStdString(), 255, kPictureLayer);
    if (id < 1)
        return;
    PlacePicture(size, id);
    m_pictures << PictureItem{id, path};
    LayoutPictures();
    emit add_imageitem(path, QStringLiteral("图片"), id);
    m_proxy->reportAction(kActionPictureAdded, -1);
}

QSize UiInsertPicWidget::PlacedSize(const QSize &pictureSize)
{
    const QSize side(kPlacedSide, kPlacedSide);
    return picturefile::fittedSize(pictureSize, side, side);
}

void UiInsertPicWidget::PlacePicture(const QSize &pictureSize, int id)
{
    const QSize placed = PlacedSize(pictureSize);
    LiveParams canvas;
    m_proxy->getLiveVideoConfig(&canvas);
    m_proxy->setItemRect(id, 0, canvas.outputHeight - placed.height(), placed.width(), placed.height());
}

void UiInsertPicWidget::LayoutPictures()
{
    for (MvEnterBorderCancelButton *slot : m_slots) {
        slot->SetPicture(QString(), false);
        slot->hide();
    }
    const int n = m_pictures.size();
    if (n > m_slots.size())
        return;
    if (n == 0) {
        m_slots[0]->show();
        return;
    }
    for (int i = 0; i < n; ++i) {
        m_slots[i]->SetPicture(m_pictures[i].path, true);
        m_slots[i]->SetCell(1, i);
        m_slots[i]->show();
    }
    if (n < m_slots.size())
        m_slots[n]->show();
}

void UiInsertPicWidget::on_cancel_clicked(int, int column)
{
    UiToolTipDialog box(QStringLiteral("确认删除?"), this);
    box.setCancelVisible(true);
    if (box.exec() != 1)
        return;
    if (column < 0 || column >= m_pictures.size())
        return;
    const int id = m_pictures.takeAt(column).id;
    if (m_proxy)
        m_proxy->removeItem(id);
    LayoutPictures();
    emit del_imageitem(id);
}

void UiInsertPicWidget::on_cell_clicked(int, int column)
{
    qDebug("on_cell_clicked:%d", column);
}

bool UiInsertPicWidget::AddPicture(int id, QString path)
{
    if (id < 1 || m_pictures.size() >= kMaxPictures)
        return false;
    m_pictures << PictureItem{id, path};
    LayoutPictures();
    return true;
}

void UiInsertPicWidget::RemovePicture(int id)
{
    for (int i = 0; i < m_pictures.size(); ++i) {
        if (m_pictures[i].id == id) {
            m_pictures.removeAt(i);
            LayoutPictures();
            return;
        }
    }
}
