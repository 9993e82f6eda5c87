#pragma once

#include "ScreenItemRecord.h"

#include <QWidget>

#include <memory>
#include <vector>

class LiveProxy;

namespace Ui {
class UiScreenItemControlWidget;
}

// The strip of picture and screen-capture cells under the live panel, seven
// to a page, top-most scene item first. It keeps its own records; the scene
// itself lives in the facade, which it asks for the z-order and tells about
// drag reorders. A deleted entry is reported through screenitem_sampleDel so
// that the workspace removes the scene item.
class UiScreenItemControlWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kCellsPerPage = 7;

    explicit UiScreenItemControlWidget(QWidget *parent = nullptr);
    ~UiScreenItemControlWidget() override;

    void setLiveProxy(LiveProxy *proxy);

    // Texts are UTF-8. An id of -1 is ignored.
    void addScreenItem(const char *picPath, const char *desc, int itemId);
    void changeItemPath(int itemId, const char *path);
    void removeImageItem(int itemId);
    void removeCaptureItem(int itemId);
    void removeScreenItem(int itemId);
    // Takes the order from the scene's z-order again.
    void reorderItems();

    int findRecord(int itemId) const;
    int recordCount() const { return int(m_records.size()); }
    const ScreenItemRecord &recordAt(int index) const { return *m_records.at(size_t(index)); }
    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }

signals:
    void screenitem_sampleDel(int item_id);

public slots:
    void slot_onScreenItemCellClicked(int row, int column);
    void slot_onScreenItemDelClicked(int row, int column);
    void slot_onScreenItemChangeOrder(int preindex, int prepage, int currentindex, int currentpage);
    void slot_onScreenTablePageTurnning(int ipage, bool badd);

private slots:
    void on_pushButton_pagefront_clicked();
    void on_pushButton_pageback_clicked();

private:
    void initTable();
    void removeRecord(int itemId);
    void freeRecords();
    void rebuildFromEngine();
    void renumberPictures();
    void renumberCaptures();
    void renumberByType(int type, const char *format, int skipId);
    void refillPage(int page);
    void updatePageButtons();
    bool isFullScreenCapture(int itemId);
    int fullScreenCaptureId();
    int itemTypeOf(int itemId);
    // Moves the dragged item to the bottom-most place a drop may take: the
    // last entry, or the one above it when the last is the full-screen capture.
    void dropOnLast(int fromId);
    void shiftTo(int fromId, int targetId);

    std::unique_ptr<Ui::UiScreenItemControlWidget> ui;
    std::vector<std::unique_ptr<ScreenItemRecord>> m_records;
    int m_pageCount = 0;
    int m_recordCount = 0;
    int m_currentPage = 1;
    LiveProxy *m_proxy = nullptr;
};
