#include "LiveProxy.h"

#include <QWidget>

// Mouse editing on the preview: the facade hands its items to the editor and
// sends the placement it answers to the engine at once. What the overlay
// frames is published from here, on the GUI thread.

PreviewMapping LiveProxy::previewMapping() const
{
    return PreviewMapping(m_previewWidth, m_previewHeight, m_outputWidth, m_outputHeight, m_fitPreview);
}

int LiveProxy::previewToCanvasX(int x) const { return previewMapping().previewToCanvasX(x); }
int LiveProxy::previewToCanvasY(int y) const { return previewMapping().previewToCanvasY(y); }
int LiveProxy::canvasToPreviewX(int cx) const { return previewMapping().canvasToPreviewX(cx); }
int LiveProxy::canvasToPreviewY(int cy) const { return previewMapping().canvasToPreviewY(cy); }
int LiveProxy::canvasToPreviewWidth(int cx) const { return previewMapping().canvasToPreviewWidth(cx); }
int LiveProxy::canvasToPreviewHeight(int cy) const { return previewMapping().canvasToPreviewHeight(cy); }

void LiveProxy::setCurrentItemId(int id)
{
    m_previewEditor.setSelectedItem(id);
    publishOverlay();
}

void LiveProxy::publishOverlay()
{
    const int id = currentItemId();
    int x = 0, y = 0, w = 0, h = 0;
    std::optional<QRect> placed;
    bool resizable = false;
    if (id > 0 && m_scene && m_scene->GetItemRect(id, &x, &y, &w, &h)) {
        placed = QRect(x, y, w, h);
        resizable = canResizeItem(id);
    }
    m_overlay.setSelection(previewMapping(), placed, resizable);
}

void LiveProxy::publishOverlayFor(int id)
{
    if (id > 0 && id == currentItemId())
        publishOverlay();
}

PreviewItem LiveProxy::previewItemOf(int id)
{
    PreviewItem item;
    item.id = id;
    int x = 0, y = 0, w = 0, h = 0;
    getItemRect(id, &x, &y, &w, &h);
    item.rect = QRect(x, y, w, h);
    item.z = getItemZorder(id);
    const int type = itemType(id);
    item.selectable = scenereg::isMovableType(type) && scenereg::isActiveZ(item.z);
    if (item.selectable) {
        bool named = false;
        const std::string name = storedNameOf(id, &named);
        item.movable = !named || !scenereg::hasLockWord(name, scenereg::kLockUnmove);
        item.resizable = !named || !scenereg::hasLockWord(name, scenereg::kLockUnresize);
    }
    item.pendant = type == SceneItemPendant;
    return item;
}

std::vector<PreviewItem> LiveProxy::previewItems()
{
    std::vector<PreviewItem> items;
    items.reserve(m_itemIds.size());
    for (int id : m_itemIds)
        if (id > 0)
            items.push_back(previewItemOf(id));
    return items;
}

bool LiveProxy::hitTestItem(int x, int y, int *id)
{
    const int hit = preview::hitTestItem(previewMapping(), previewItems(), m_previewEditor.selectedItem(), QPoint(x, y));
    if (id)
        *id = hit;
    return hit > 0;
}

void LiveProxy::handlePreviewMouse(QWidget *widget, int event, int x, int y)
{
    if (!widget) {
        m_previewEditor.cancel();
        return;
    }
    // A move reads only the selected item; a press picks among all of them.
    std::vector<PreviewItem> items;
    if (event == PreviewPointerMoved) {
        const int selected = m_previewEditor.selectedItem();
        if (selected > 0)
            items.push_back(previewItemOf(selected));
    } else if (event == PreviewLeftPressed || event == PreviewRightPressed) {
        items = previewItems();
    }
    const int selected = m_previewEditor.selectedItem();
    const PreviewEditOutcome outcome = m_previewEditor.handleMouse(previewMapping(), event, QPoint(x, y), items);
    if (outcome.cursor)
        widget->setCursor(*outcome.cursor);
    // A new placement publishes itself; a press may select another item.
    if (outcome.geometry) {
        const QRect &r = *outcome.geometry;
        setItemGeometry(m_previewEditor.selectedItem(), r.x(), r.y(), r.width(), r.height());
    } else if (m_previewEditor.selectedItem() != selected) {
        publishOverlay();
    }
}
