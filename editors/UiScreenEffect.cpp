#include "UiScreenEffect.h"

#include "MvEnterBorderCancelButton.h"
#include "PickerPages.h"
#include "NoFocusFrameDelegate.h"
#include "SampleScan.h"
#include "ui_UiScreenEffect.h"

#include <QDebug>

namespace {

constexpr int kColumnWidths[UiScreenEffect::kColumns] = {55, 55, 55, 40};
constexpr int kRowHeight = 52;

} // namespace

UiScreenEffect::UiScreenEffect(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiScreenEffect)
{
    ui->setupUi(this);
    QTableWidget *table = ui->effectTableWidget;
    makePlainTable(table, table);
    table->setMouseTracking(true);
    table->setStyleSheet(QStringLiteral("selection-background-color:#e8e6e6;"));
}

UiScreenEffect::~UiScreenEffect()
{
    delete ui;
}

void UiScreenEffect::AddChosen(QString path, int id)
{
    m_chosen << PictureItem{id, path};
    ShowChosenPage(m_currentPage);
}

bool UiScreenEffect::RemoveChosen(int id)
{
    for (int i = 0; i < m_chosen.size(); ++i) {
        if (m_chosen[i].id != id)
            continue;
        m_chosen.removeAt(i);
        ShowChosenPage(m_currentPage);
        emit sampleDel(QVector<int>{id});
        return true;
    }
    return false;
}

void UiScreenEffect::ShowChosenPage(int page)
{
    QTableWidget *table = ui->effectTableWidget;
    // Removing the rows hands their cells to deleteLater: a cell may be the
    // one whose cancel mark runs this.
    table->clear();
    table->setRowCount(0);
    m_entryCount = m_chosen.size();
    m_pageCount = pickerpages::pageCount(m_entryCount, kPerPage);
    // The last entry of the last page went: show the page before.
    if (page > m_pageCount && m_pageCount >= 1)
        page = m_pageCount;
    if (m_entryCount == 0 || m_pageCount < 1 || page < 1 || page > m_pageCount)
        return;
    m_currentPage = page;
    table->setColumnCount(kColumns);
    const int rows = pickerpages::rowsOnPage(page, m_entryCount, kPerPage, kColumns);
    table->setRowCount(rows);
    for (int column = 0; column < kColumns; ++column)
        table->setColumnWidth(column, kColumnWidths[column]);
    for (int row = 0; row < rows; ++row) {
        table->setRowHeight(row, kRowHeight);
        for (int column = 0; column < kColumns; ++column) {
            const int index = pickerpages::indexOf(page, row, column, kPerPage, kColumns);
            if (index >= m_entryCount)
                continue;
            auto *cell = new MvEnterBorderCancelButton(table);
            cell->SetPicture(samplescan::thumbnailPath(m_chosen[index].path), true);
            cell->SetCell(row, column);
            connect(cell, SIGNAL(cancelbtnclick(int,int)), this, SLOT(on_effectTableWidget_cancelbtnclicked(int,int)));
            table->setCellWidget(row, column, cell);
        }
    }
}

void UiScreenEffect::on_fontpushButton_clicked()
{
    if (m_currentPage != 1)
        ShowChosenPage(m_currentPage - 1);
}

void UiScreenEffect::on_backpushButton_clicked()
{
    if (m_currentPage + 1 <= m_pageCount)
        ShowChosenPage(m_currentPage + 1);
}

void UiScreenEffect::on_effectTableWidget_clicked(QModelIndex index)
{
    const int row = index.row();
    const int column = index.column();
    if (row < 0 || column < 0)
        return;
    if (pickerpages::indexOf(m_currentPage, row, column, kPerPage, kColumns) + 1 <= m_entryCount)
        qDebug() << "clicked" << row << column;
}

void UiScreenEffect::on_effectTableWidget_cancelbtnclicked(int row, int column)
{
    const int index = pickerpages::indexOf(m_currentPage, row, column, kPerPage, kColumns);
    if (index < 0 || index >= m_chosen.size())
        return;
    const int id = m_chosen.takeAt(index).id;
    ShowChosenPage(m_currentPage);
    if (id > 0)
        emit sampleDel(QVector<int>{id});
}

void UiScreenEffect::on_clearallbtn_clicked()
{
    QVector<int> ids;
    for (const PictureItem &entry : m_chosen)
        ids << entry.id;
    emit sampleDel(ids);
    m_chosen.clear();
    ShowChosenPage(m_currentPage);
}
