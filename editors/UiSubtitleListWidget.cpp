#include "UiSubtitleListWidget.h"

#include "NoFocusFrameDelegate.h"
#include "PickerStyle.h"
#include "UiSubtitleItemWidget.h"
#include "UiToolTipDialog.h"
#include "ui_UiSubtitleListWidget.h"

#include <QScrollBar>

namespace {

constexpr int kRowHeight = 76;
constexpr int kColumnWidth = 236;

} // namespace

UiSubtitleListWidget::UiSubtitleListWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiSubtitleListWidget)
{
    ui->setupUi(this);
    initTable();
    refreshTable();
}

UiSubtitleListWidget::~UiSubtitleListWidget()
{
    delete ui;
}

void UiSubtitleListWidget::initTable()
{
    QTableWidget *table = ui->tableWidget_subtitle;
    makePlainTable(table, this);
    table->setStyleSheet(QStringLiteral("background:white;selection-background-color:white;"));
    table->setColumnCount(1);
    table->setColumnWidth(0, kColumnWidth);
    table->verticalScrollBar()->setStyleSheet(pickerstyle::scrollBarStyle(false));
}

void UiSubtitleListWidget::refreshTable()
{
    QTableWidget *table = ui->tableWidget_subtitle;
    // Removing the rows hands their widgets to deleteLater: this runs inside
    // a row's own signal.
    table->clear();
    table->setRowCount(0);
    if (m_lines.isEmpty())
        return;
    table->setRowCount(m_lines.size());
    table->setColumnCount(1);
    for (int i = 0; i < m_lines.size(); ++i) {
        table->setRowHeight(i, kRowHeight);
        auto *row = new UiSubtitleItemWidget(m_lines[i], table);
        connect(row, SIGNAL(sig_delsubtitle(QString)), this, SLOT(delSubtitleList(QString)));
        connect(row, SIGNAL(sig_clicksubtitle(QString)), this, SLOT(slot_clickSubtitle(QString)));
        table->setCellWidget(i, 0, row);
    }
}

void UiSubtitleListWidget::addSubtitle(QString line)
{
    if (m_lines.size() >= kMaxLines) {
        UiToolTipDialog box(QStringLiteral("字幕条数不能超过4条!"), this);
        box.exec();
        return;
    }
    m_lines.insert(0, line);
    refreshTable();
    emit sig_addsubtitle(line);
}

void UiSubtitleListWidget::setSubtitles(const QStringList &lines)
{
    if (lines.size() > kMaxLines)
        return;
    m_lines = lines;
    refreshTable();
}

void UiSubtitleListWidget::delSubtitleList(QString strsubtitle)
{
    m_lines.removeAll(strsubtitle);
    refreshTable();
    emit sig_delsubtitle(strsubtitle);
}

void UiSubtitleListWidget::slot_clickSubtitle(QString strsubtitle)
{
    emit sig_clicksubtitle(strsubtitle);
}
