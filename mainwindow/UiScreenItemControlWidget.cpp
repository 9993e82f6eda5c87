#include "UiScreenItemControlWidget.h"
#include "ui_UiScreenItemControlWidget.h"

#include "LiveProxy.h"
#include "Logger.h"
#include "MvImageLabel.h"
#include "NoFocusFrameDelegate.h"
#include "SceneRegistry.h"

#include <QAbstractItemView>
#include <QDebug>
#include <QHeaderView>

#include <algorithm>

namespace {

constexpr int kCellWidth = 112;
constexpr int kCellHeight = 90;
// Action code of a drag reorder in the analytics table.
constexpr int kActionReorder = 9;

} // namespace

UiScreenItemControlWidget::UiScreenItemControlWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::UiScreenItemControlWidget)
{
    ui->setupUi(this);
    initTable();
    connect(ui->tableWidget_ScreenItem, SIGNAL(changeindex(int, int, int, int)), this,
            SLOT(slot_onScreenItemChangeOrder(int, int, int, int)));
    connect(ui->tableWidget_ScreenItem, SIGNAL(sig_pageturning(int, bool)), this,
            SLOT(slot_onScreenTablePageTurnning(int, bool)));
    m_currentPage = 1;
}

UiScreenItemControlWidget::~UiScreenItemControlWidget()
{
    freeRecords();
}

void UiScreenItemControlWidget::setLiveProxy(LiveProxy *proxy)
{
    m_proxy = proxy;
}

void UiScreenItemControlWidget::initTable()
{
    MvDragTableWidget *table = ui->tableWidget_ScreenItem;
    makePlainTable(table, this);
    table->setStyleSheet(QStringLiteral("background:white;selection-background-color:white;"));
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    table->setAutoScroll(false);
    table->setColumnCount(kCellsPerPage);
    table->setRowCount(1);
    table->setRowHeight(0, kCellHeight);
    ui->pushButton_pagefront->hide();
    ui->pushButton_pageback->hide();
}

void UiScreenItemControlWidget::addScreenItem(const char *picPath, const char *desc, int itemId)
{
    if (itemId == -1)
        return;
    auto record = std::make_unique<ScreenItemRecord>();
    record->setPicturePath(picPath);
    record->setDescription(desc);
    record->itemId = itemId;
    m_records.push_back(std::move(record));
    rebuildFromEngine();
    const int type = itemTypeOf(itemId);
    if (type == SceneItemPicture)
        renumberPictures();
    else if (type == SceneItemScreenCapture)
        renumberCaptures();
    refillPage(m_currentPage);
}

void UiScreenItemControlWidget::changeItemPath(int itemId, const char *path)
{
    const int index = findRecord(itemId);
    if (index < 0)
        return;
    m_records[size_t(index)]->setPicturePath(path);
    refillPage(m_currentPage);
}

void UiScreenItemControlWidget::removeImageItem(int itemId)
{
    removeRecord(itemId);
    renumberPictures();
    refillPage(m_currentPage);
}

void UiScreenItemControlWidget::removeCaptureItem(int itemId)
{
    removeRecord(itemId);
    renumberCaptures();
    refillPage(m_currentPage);
}

void UiScreenItemControlWidget::removeScreenItem(int itemId)
{
    removeRecord(itemId);
    refillPage(m_currentPage);
}

void UiScreenItemControlWidget::reorderItems()
{
    rebuildFromEngine();
    refillPage(m_currentPage);
}

int UiScreenItemControlWidget::findRecord(int itemId) const
{
    for (size_t i = 0; i < m_records.size(); ++i)
        if (m_records[i]->itemId == itemId)
            return int(i);
    return -1;
}

void UiScreenItemControlWidget::removeRecord(int itemId)
{
    const int index = findRecord(itemId);
    if (index >= 0)
        m_records.erase(m_records.begin() + index);
}

void UiScreenItemControlWidget::freeRecords()
{
    while (!m_records.empty())
        m_records.erase(m_records.begin());
}

void UiScreenItemControlWidget::rebuildFromEngine()
{
    if (!m_proxy || m_records.empty())
        return;
    std::vector<int> ids;
    m_proxy->sortedItemIds(ids);
    if (ids.empty())
        return;
    std::vector<std::unique_ptr<ScreenItemRecord>> ordered;
    for (auto id = ids.rbegin(); id != ids.rend(); ++id) {
        const int index = findRecord(*id);
        if (index < 0)
            continue; // cameras, texts and the like have no cell
        ordered.push_back(std::move(m_records[size_t(index)]));
        m_records.erase(m_records.begin() + index);
    }
    // What is left names no scene item any more. Only those entries go: the
    // others still stand for items the user sees in the scene.
    for (const std::unique_ptr<ScreenItemRecord> &stale : m_records)
        Logger::instance()->write(Logger::LOG_WARN, "item list drops entry of item %d: not in the scene.",
                                  stale->itemId);
    m_records = std::move(ordered);
}

int UiScreenItemControlWidget::itemTypeOf(int itemId)
{
    return m_proxy ? m_proxy->itemType(itemId) : SceneItemOther;
}

int UiScreenItemControlWidget::fullScreenCaptureId()
{
    int id = -1;
    if (!m_proxy || !m_proxy->findFullScreenCaptureItem(&id))
        return -1;
    return id;
}

bool UiScreenItemControlWidget::isFullScreenCapture(int itemId)
{
    return itemId >= 0 && itemTypeOf(itemId) == SceneItemScreenCapture && itemId == fullScreenCaptureId();
}

void UiScreenItemControlWidget::renumberPictures()
{
    renumberByType(SceneItemPicture, "图片%1", -1);
}

void UiScreenItemControlWidget::renumberCaptures()
{
    renumberByType(SceneItemScreenCapture, "手动截取%1", fullScreenCaptureId());
}

void UiScreenItemControlWidget::renumberByType(int type, const char *format, int skipId)
{
    // The lowest entry in the z-order (the last record) gets number 1.
    int counter = 1;
    for (auto record = m_records.rbegin(); record != m_records.rend(); ++record) {
        const int id = (*record)->itemId;
        if (id == skipId || itemTypeOf(id) != type)
            continue;
        (*record)->setDescription(QString::fromUtf8(format).arg(counter).toUtf8());
        ++counter;
    }
}

void UiScreenItemControlWidget::refillPage(int page)
{
    MvDragTableWidget *table = ui->tableWidget_ScreenItem;
    table->clear();
    m_recordCount = int(m_records.size());
    m_pageCount = m_recordCount / kCellsPerPage + (m_recordCount % kCellsPerPage ? 1 : 0);
    updatePageButtons();
    if (m_recordCount == 0 || page == 0 || m_pageCount == 0)
        return;
    if (page > m_pageCount)
        page = m_pageCount;
    m_currentPage = page;
    table->SetPageNumber(page);
    table->setColumnCount(kCellsPerPage);
    for (int column = 0; column < kCellsPerPage; ++column) {
        table->setColumnWidth(column, kCellWidth);
        const int index = (page - 1) * kCellsPerPage + column;
        if (index >= m_recordCount)
            continue;
        const ScreenItemRecord &record = *m_records[size_t(index)];
        auto *cell = new MvImageLabel(QString::fromUtf8(record.picturePath), QString::fromUtf8(record.description),
                                      kCellWidth, kCellHeight, nullptr);
        cell->SetCell(0, column);
        connect(cell, SIGNAL(cancelbtnclick(int, int)), this, SLOT(slot_onScreenItemDelClicked(int, int)));
        connect(cell, SIGNAL(cellclick(int, int)), this, SLOT(slot_onScreenItemCellClicked(int, int)));
        table->setCellWidget(0, column, cell);
    }
}

void UiScreenItemControlWidget::updatePageButtons()
{
    const bool several = m_pageCount > 1;
    ui->pushButton_pagefront->setVisible(several);
    ui->pushButton_pageback->setVisible(several);
}

void UiScreenItemControlWidget::slot_onScreenItemDelClicked(int row, int column)
{
    const int index = (m_currentPage - 1) * kCellsPerPage + column;
    // A click from a cell of a page that is no longer filled names nothing.
    if (index < 0 || index >= int(m_records.size()))
        return;
    std::unique_ptr<ScreenItemRecord> record = std::move(m_records[size_t(index)]);
    m_records.erase(m_records.begin() + index);
    const int type = itemTypeOf(record->itemId);
    if (type == SceneItemPicture)
        renumberPictures();
    else if (type == SceneItemScreenCapture)
        renumberCaptures();
    emit screenitem_sampleDel(record->itemId);
    refillPage(m_currentPage);
    if (index < int(m_records.size())) {
        // The entry that moved into the clicked cell is under the pointer.
        if (auto *cell = qobject_cast<MvImageLabel *>(ui->tableWidget_ScreenItem->cellWidget(row, column)))
            cell->ShowCancel();
    }
}

void UiScreenItemControlWidget::slot_onScreenItemCellClicked(int row, int column)
{
    qDebug() << row << column;
}

void UiScreenItemControlWidget::shiftTo(int fromId, int targetId)
{
    if (targetId == fromId || fromId == -1 || targetId == -1 || !m_proxy)
        return;
    m_proxy->shiftItem(fromId, targetId);
    reorderItems();
    m_proxy->reportAction(kActionReorder, -1);
}

void UiScreenItemControlWidget::dropOnLast(int fromId)
{
    if (m_records.empty())
        return;
    int targetId = m_records.back()->itemId;
    if (isFullScreenCapture(targetId))
        targetId = m_records.size() > 1 ? m_records[m_records.size() - 2]->itemId : -1;
    shiftTo(fromId, targetId);
}

void UiScreenItemControlWidget::slot_onScreenItemChangeOrder(int preindex, int prepage, int currentindex,
                                                             int currentpage)
{
    const int count = int(m_records.size());
    const int from = (prepage - 1) * kCellsPerPage + preindex;
    if (from < 0 || from >= count)
        return;
    const int fromId = m_records[size_t(from)]->itemId;
    if (isFullScreenCapture(fromId))
        return;
    if (currentindex == -1) {
        dropOnLast(fromId);
        return;
    }
    const int to = (currentpage - 1) * kCellsPerPage + currentindex;
    if (to < 0 || to >= count || to == from)
        return;
    if (to == count - 1)
        dropOnLast(fromId);
    else
        shiftTo(fromId, m_records[size_t(to)]->itemId);
}

void UiScreenItemControlWidget::slot_onScreenTablePageTurnning(int ipage, bool badd)
{
    Q_UNUSED(ipage);
    if (badd) {
        if (m_currentPage + 1 <= m_pageCount) {
            ++m_currentPage;
            refillPage(m_currentPage);
        }
    } else if (m_currentPage - 1 > 0) {
        --m_currentPage;
        refillPage(m_currentPage);
    }
}

void UiScreenItemControlWidget::on_pushButton_pagefront_clicked()
{
    slot_onScreenTablePageTurnning(m_currentPage, false);
}

void UiScreenItemControlWidget::on_pushButton_pageback_clicked()
{
    slot_onScreenTablePageTurnning(m_currentPage, true);
}
