#include "EffectPanelWidget.h"

#include "LiveProxy.h"
#include "UiScreenEffect.h"
#include "UiSetEdging.h"
#include "UiSetPendant.h"
#include "UiSetShadow.h"
#include "ui_EffectPanelWidget.h"

#include <QDebug>
#include <QFileInfo>

namespace {

constexpr int kEffectAlpha = 255;
constexpr int kPendantLayer = 3;
constexpr int kShadowLayer = 4;
constexpr int kEdgeLayer = 5;
constexpr int kTypeShadow = 7;
constexpr int kTypeEdge = 8;
constexpr int kTypePendant = 9;

} // namespace

UiSpecialEffectWidget::UiSpecialEffectWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSpecialEffectWidget)
{
    ui->setupUi(this);
    resize(230, 550);
    m_container = new QWidget(this);
    m_container->setStyleSheet(QStringLiteral("background-color: white;\n"));
    m_container->setGeometry(0, 0, 230, 415);
    m_pages << new UiSetEdging(m_container) << new UiSetPendant(m_container) << new UiSetShadow(m_container);
    for (UiSamplePage *page : m_pages) {
        page->hide();
        connect(page, SIGNAL(effectclicked(int,int,int,int)), this, SLOT(acceptsampletableclicked(int,int,int,int)));
    }
    m_chosen = new UiScreenEffect(this);
    m_chosen->setGeometry(0, 415, 230, 139);
    connect(m_chosen, SIGNAL(sampleDel(QVector<int>)), this, SLOT(on_delete_sample(QVector<int>)));
    m_current = kEdging;
    m_pages[m_current]->show();
}

UiSpecialEffectWidget::~UiSpecialEffectWidget()
{
    delete ui;
}

void UiSpecialEffectWidget::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
    RestoreChosen();
}

void UiSpecialEffectWidget::ShowPanel(int index)
{
    if (index < 0 || index >= m_pages.size() || m_current < 0 || m_current >= m_pages.size())
        return;
    m_pages[m_current]->hide();
    m_current = index;
    m_pages[m_current]->show();
}

void UiSpecialEffectWidget::RemoveChosen(int id)
{
    m_chosen->RemoveChosen(id);
}

bool UiSpecialEffectWidget::SameFileName(const QString &a, const QString &b)
{
    const QString name = QFileInfo(a).fileName();
    return !name.isEmpty() && name == QFileInfo(b).fileName();
}

void UiSpecialEffectWidget::acceptsampletableclicked(int row, int column, int page, int effectindex)
{
    qDebug() << "row" << row << "column" << column << "page" << page << "effectindex" << effectindex;
    const QString path = m_pages.value(effectindex) ? m_pages[effectindex]->GetItemPath(page, row, column) : QString();
    ApplyEffectSample(effectindex, path);
}

int UiSpecialEffectWidget::replaceFullWindowEffect(int kind, const QString &path)
{
    int old = -1;
    const bool shown = kind == kEdging ? m_proxy->findEdgeItem(&old) : m_proxy->findShadowItem(&old);
    if (shown) {
        std::string source;
        m_proxy->getItemSource(old, &source);
        if (SameFileName(QString::fromUtf8(source.c_str()), path))
            return -1;
    }
    const std::string file = path.toUtf8().toStdString();
    const int id = kind == kEdging ? m_proxy->addEdge(file, kEffectAlpha, kEdgeLayer)
                                   : m_proxy->addShadow(file, kEffectAlpha, kShadowLayer);
    if (id < 1)
        return id;
    m_proxy->setItemFullWindow(id);
    // The list mirrors the scene; an old item it does not hold still goes.
    if (shown && old >= 1 && !m_chosen->RemoveChosen(old))
        m_proxy->removeItem(old);
    return id;
}

void UiSpecialEffectWidget::ApplyEffectSample(int kind, const QString &path)
{
    if (path.isEmpty() || !m_proxy)
        return;
    int id = -1;
    if (kind == kEdging || kind == kShadow)
        id = replaceFullWindowEffect(kind, path);
    else if (kind == kPendant)
        id = m_proxy->addPendant(path.toUtf8().toStdString(), kEffectAlpha, kPendantLayer);
    if (id >= 1)
        m_chosen->AddChosen(path, id);
}

void UiSpecialEffectWidget::RestoreChosen()
{
    if (!m_proxy)
        return;
    std::vector<int> ids;
    m_proxy->sortedItemIds(ids);
    for (int id : ids) {
        const int type = m_proxy->itemType(id);
        if (type != kTypeShadow && type != kTypeEdge && type != kTypePendant)
            continue;
        std::string source;
        m_proxy->getItemSource(id, &source);
        m_chosen->AddChosen(QString::fromUtf8(source.c_str()), id);
    }
}

void UiSpecialEffectWidget::on_delete_sample(QVector<int> arr_item)
{
    if (!m_proxy)
        return;
    for (int id : arr_item)
        if (id >= 1)
            m_proxy->removeItem(id);
}
