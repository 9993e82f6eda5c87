#pragma once

#include "PreviewMapping.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <Qt>

#include <optional>
#include <vector>

// Mouse editing of scene items on the preview: pick the item under the
// pointer, move it, resize it by the eight handles of its frame, and choose
// the cursor. Plain logic over value records: the facade feeds in its items
// and applies the outcome through its engine calls.

// Pointer events as the preview panel numbers them.
enum PreviewMouseEvent {
    PreviewPointerMoved = 0,
    PreviewLeftPressed = 1,
    PreviewLeftReleased = 2,
    PreviewRightPressed = 3,
    PreviewRightReleased = 4
};

// Handle bits of an item's frame; 0 (none) moves the item. Corners combine
// two bits: 5 top-left, 6 top-right, 9 bottom-left, 10 bottom-right.
enum PreviewHandle {
    PreviewHandleNone = 0,
    PreviewHandleLeft = 1,
    PreviewHandleRight = 2,
    PreviewHandleTop = 4,
    PreviewHandleBottom = 8
};

// One registered item as the editor sees it. The three permissions are the
// facade's own answers (isItemSelectable, canMoveItem, canResizeItem).
struct PreviewItem
{
    int id = 0;
    QRect rect;              // placement on the canvas (x, y, width, height)
    int z = -1;              // z-order
    bool selectable = false; // an editable type in the active z-order range
    bool movable = false;    // selectable and no "unmove" lock
    bool resizable = false;  // selectable and no "unresize" lock
    bool pendant = false;    // type 9: never narrower than 50 canvas pixels
};

namespace preview {

// The topmost selectable item whose frame holds `pos` (preview pixels);
// 0 when none. The selected item also counts within 5 pixels outside its
// frame. Items come in registration order; on equal z-orders the earlier
// one wins; ids of 0 or below are skipped.
int hitTestItem(const PreviewMapping &mapping, const std::vector<PreviewItem> &items, int selectedId,
                QPoint pos);

// The handle of `frame` at `pos`: a value is near another when they differ
// by less than 6 pixels; corners are tested before edge middles.
int handleAt(const PreviewFrame &frame, QPoint pos);

// Diagonal, vertical or horizontal resize cursor of a handle; the arrow for
// 0 and anything else.
Qt::CursorShape cursorForHandle(int handle);

// The placement after moving `current` so the grab point follows the
// pointer (canvas units); at least the margin of the item stays on the
// canvas on every side.
QRect movedRect(const PreviewMapping &mapping, const QRect &current, QPoint canvasPointer, QPoint grabOffset);

// The placement after dragging `handle` to the pointer (canvas units,
// clamped to the canvas): the dragged edges follow the pointer by its
// distance from the press point, starting from the size at the press; the
// width and height never exceed the canvas and never fall below the margin
// (a pendant's width never below 50). The aspect ratio is not kept.
QRect resizedRect(const PreviewMapping &mapping, int handle, const QRect &current, QPoint canvasPointer,
                  QPoint pressPoint, QSize pressSize, bool pendant);

} // namespace preview

// What one pointer event asks of the facade.
struct PreviewEditOutcome
{
    std::optional<Qt::CursorShape> cursor; // for the preview widget
    std::optional<QRect> geometry;         // new placement of the selected item
};

// The editing state (one per process, shared by every preview): the
// selected item, and while a press lasts the drag with its handle.
class PreviewEditor
{
public:
    // One pointer event at `pos` (preview pixels). `items`: every registered
    // item as it is now, in registration order; a move only reads the
    // selected one. A geometry in the outcome goes to setItemGeometry (an
    // effective text is never selectable, so never gets one).
    PreviewEditOutcome handleMouse(const PreviewMapping &mapping, int event, QPoint pos,
                                   const std::vector<PreviewItem> &items);
    // The preview widget went away: the drag ends, the handle is cleared.
    void cancel();

    // -1 when nothing is selected.
    int selectedItem() const { return m_selected; }
    void setSelectedItem(int id) { m_selected = id; }
    // A removed item is no longer selected.
    void forgetItem(int id);

    bool isDragging() const { return m_dragging; }
    int handle() const { return m_handle; }

private:
    void press(const PreviewMapping &mapping, bool left, QPoint pos, const std::vector<PreviewItem> &items);
    PreviewEditOutcome move(const PreviewMapping &mapping, QPoint pos, const std::vector<PreviewItem> &items) const;

    int m_selected = -1;
    bool m_dragging = false;
    int m_handle = PreviewHandleNone;
    QPoint m_grabOffset; // canvas pointer at the press minus the item's origin
    QPoint m_pressPoint; // canvas pointer at the press
    QSize m_pressSize;   // the item's canvas size at the press
};
