#include "UiSampleWidget.h"

#include "LiveParams.h"
#include "LiveProxy.h"
#include "MvEnterBorderButton.h"
#include "NoFocusFrameDelegate.h"
#include "PickerPages.h"
#include "RuntimePictures.h"
#include "SampleScan.h"
#include "ui_UiSampleWidget.h"

#include <QDebug>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpacerItem>

namespace {

constexpr int kCellWidth = 74;
constexpr int kCellHeight = 94;
constexpr int kColumnWidths[UiSampleWidget::kColumns] = {81, 81, 74};
constexpr int kRowHeight = 106;
constexpr int kLastRowHeight = 94;
constexpr int kPendantLayer = 3;
constexpr int kActionPendantAdded = 16;

const char *const kPlainPageStyle =
    "QPushButton{border:none; color:#acacac;}"
    "QPushButton:hover{border:none; background-color:#f0f0f0;}"
    "QPushButton:pressed{border-width: 1px;border-style: solid; border-color:#acacac;background-color:#ffffff;"
    "color:#acacac;}";
const char *const kCurrentPageStyle =
    "QPushButton{border-width: 1px;border-style: solid; border-color:#acacac;background-color:#ffffff;"
    "color:#acacac;}";

QFont pageFont(int points)
{
    QFont font(QStringLiteral("微软雅黑"));
    font.setPointSize(points);
    return font;
}

} // namespace

UiSampleWidget::UiSampleWidget(int kind, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSampleWidget)
    , m_kind(kind)
{
    ui->setupUi(this);
    QTableWidget *table = ui->widgetsSamplesTableWidget;
    makePlainTable(table, table);
    table->setStyleSheet(QStringLiteral("selection-background-color:white;"));
    ui->widget_page_index->hide();
    Init(kind);
    if (m_pageCount > 1) {
        CreatePageButtons();
        for (QPushButton *button : m_pageButtons)
            connect(button, SIGNAL(clicked(bool)), this, SLOT(onPageNumBtnClick()));
        // Without the strip the pages after the first could never be reached.
        ui->widget_page_index->show();
    }
    ShowPage(1);
}

UiSampleWidget::~UiSampleWidget()
{
    delete ui;
}

void UiSampleWidget::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

QString UiSampleWidget::sampleFolder(int kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("./effect/edging/");
    case 1:
        return QStringLiteral("./effect/pendant/");
    case 2:
        return QStringLiteral("./effect/shadow/");
    default:
        return QString();
    }
}

QStringList UiSampleWidget::sampleNames(int kind)
{
    switch (kind) {
    case 0:
        return {QStringLiteral("花边"), QStringLiteral("星光"), QStringLiteral("胶片"), QStringLiteral("彩虹"),
                QStringLiteral("爱心"), QStringLiteral("雪花"), QStringLiteral("气球"), QStringLiteral("樱花"),
                QStringLiteral("霓虹"), QStringLiteral("金框"), QStringLiteral("木框"), QStringLiteral("云朵")};
    case 1:
        return {QStringLiteral("冰水"), QStringLiteral("弹幕护体"), QStringLiteral("旋转木马"),
                QStringLiteral("柯基放屁"), QStringLiteral("求关注"), QStringLiteral("求珍珠"),
                QStringLiteral("猫"), QStringLiteral("猫咪"), QStringLiteral("花朵")};
    case 2:
        return {QStringLiteral("暗角"), QStringLiteral("暖光")};
    default:
        return {};
    }
}

void UiSampleWidget::Init(int kind)
{
    const QString folder = sampleFolder(kind);
    if (QFileInfo(folder).isDir())
        ScanSamples(folder, sampleNames(kind));
    else if (!folder.isEmpty())
        runtimepictures::logDrop("sample folder", folder, QStringLiteral("missing"));
    m_sampleCount = m_paths.size();
    m_pageCount = pickerpages::pageCount(m_sampleCount, kPerPage);
}

void UiSampleWidget::ScanSamples(const QString &dir, const QStringList &names)
{
    for (const QString &path : samplescan::scanSamples(dir, names)) {
        m_paths << path;
        m_ids << -1;
        qDebug() << path;
    }
}

QString UiSampleWidget::GetItemPath(int page, int row, int column) const
{
    if (page < 1)
        return QString();
    return m_paths.value(pickerpages::indexOf(page, row, column, kPerPage, kColumns));
}

void UiSampleWidget::ShowPage(int page)
{
    if (m_paths.isEmpty() || m_pageCount == 0 || page < 1 || page > m_pageCount || m_paths.size() != m_ids.size())
        return;
    QTableWidget *table = ui->widgetsSamplesTableWidget;
    // Removing the rows hands their cells to deleteLater: a cell may be
    // the one whose click runs this.
    table->clear();
    table->setRowCount(0);
    m_currentPage = page;
    table->setColumnCount(kColumns);
    const int rows = pickerpages::rowsOnPage(page, m_sampleCount, kPerPage, kColumns);
    table->setRowCount(rows);
    for (int row = 0; row < rows; ++row) {
        table->setRowHeight(row, row == rows - 1 ? kLastRowHeight : kRowHeight);
        for (int column = 0; column < kColumns; ++column) {
            table->setColumnWidth(column, kColumnWidths[column]);
            const int index = pickerpages::indexOf(page, row, column, kPerPage, kColumns);
            if (index > m_sampleCount - 1)
                continue;
            auto *cell = new MvEnterBorderButton(this, samplescan::thumbnailPath(m_paths[index]), kCellWidth,
                                                 kCellHeight);
            cell->setChecked(m_ids[index] >= 0);
            cell->SetCell(row, column);
            connect(cell, SIGNAL(cellclick(bool,int,int)), this, SLOT(on_sampletable_clicked(bool,int,int)));
            table->setCellWidget(row, column, cell);
        }
    }
    UpdatePageButtons(page);
}

void UiSampleWidget::on_sampletable_clicked(bool checked, int row, int column)
{
    emit on_clicked(row, column, m_currentPage);
    const int index = pickerpages::indexOf(m_currentPage, row, column, kPerPage, kColumns);
    if (index < 0 || index >= m_sampleCount)
        return;
    const QString path = m_paths[index];
    if (checked) {
        const int id = m_proxy ? m_proxy->addPendant(path.toUtf8().toStdString(), 255, kPendantLayer) : -1;
        if (id < 1) {
            // The cell checked itself on the click: show it free again.
            ShowPage(m_currentPage);
            return;
        }
        PlacePendant(id);
        m_ids[index] = id;
        m_proxy->reportAction(kActionPendantAdded, index + 1);
        emit on_addpendantclicked(samplescan::thumbnailPath(path), MvEnterBorderButton::CaptionFromPath(path), id);
        return;
    }
    const int id = m_ids[index];
    if (id < 1)
        return;
    if (m_proxy)
        m_proxy->removeItem(id);
    m_ids[index] = -1;
    emit on_delpendantclicked(id);
}

void UiSampleWidget::PlacePendant(int id)
{
    LiveParams canvas;
    m_proxy->getLiveVideoConfig(&canvas);
    int x = 0, y = 0, w = 0, h = 0;
    m_proxy->getItemRect(id, &x, &y, &w, &h);
    m_proxy->setItemRect(id, canvas.outputWidth - w, 0, w, h);
}

bool UiSampleWidget::MarkItemAdded(int id, QString path)
{
    if (id < 1 || m_paths.isEmpty() || m_paths.size() != m_ids.size())
        return false;
    const int index = m_paths.indexOf(path);
    if (index < 0)
        return false;
    m_ids[index] = id;
    ShowPage(m_currentPage);
    return true;
}

void UiSampleWidget::UnselectItem(int id)
{
    if (id == -1)
        return;
    const int index = m_ids.indexOf(id);
    if (index >= 0)
        m_ids[index] = -1;
    ShowPage(m_currentPage);
}

void UiSampleWidget::onPageNumBtnClick()
{
    const int index = m_pageButtons.indexOf(qobject_cast<QPushButton *>(sender()));
    if (index < 0)
        return;
    const int page = index + 1;
    qDebug() << page;
    ShowPage(page);
}

void UiSampleWidget::CreatePageButtons()
{
    auto *layout = new QHBoxLayout(ui->widget_page_index);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    for (int page = 1; page <= m_pageCount; ++page) {
        auto *button = new QPushButton(ui->widget_page_index);
        button->setMaximumSize(6, 6);
        button->setMinimumSize(6, 6);
        button->setText(QString::number(page));
        button->setFont(pageFont(8));
        button->setStyleSheet(QLatin1String(kPlainPageStyle));
        layout->addWidget(button);
        m_pageButtons << button;
    }
    layout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
}

void UiSampleWidget::UpdatePageButtons(int page)
{
    for (int i = 0; i < m_pageButtons.size(); ++i) {
        const bool current = i + 1 == page;
        m_pageButtons[i]->setFont(pageFont(current ? 10 : 8));
        m_pageButtons[i]->setStyleSheet(QLatin1String(current ? kCurrentPageStyle : kPlainPageStyle));
    }
}
