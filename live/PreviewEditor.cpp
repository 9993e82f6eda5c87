#include "PreviewEditor.h"

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kNearPixels = 6;
constexpr int kSelectedSlack = 5;
constexpr int kPendantMinWidth = 50;

bool near(int a, int b)
{
    return std::abs(a - b) < kNearPixels;
}

const PreviewItem *findItem(const std::vector<PreviewItem> &items, int id)
{
    for (const PreviewItem &item : items)
        if (item.id == id && id > 0)
            return &item;
    return nullptr;
}

} // namespace

namespace preview {

int hitTestItem(const PreviewMapping &mapping, const std::vector<PreviewItem> &items, int selectedId, QPoint pos)
{
    int best = 0;
    int bestZ = -1;
    for (const PreviewItem &item : items) {
        if (item.id <= 0)
            continue;
        const PreviewFrame f = mapping.frameOf(item.rect);
        const int slack = item.id == selectedId ? kSelectedSlack : 0;
        const bool inside = f.left - slack <= pos.x() && pos.x() <= f.right + slack && f.top - slack <= pos.y()
                            && pos.y() <= f.bottom + slack;
        if (inside && item.z > bestZ && item.selectable) {
            best = item.id;
            bestZ = item.z;
        }
    }
    return best;
}

int handleAt(const PreviewFrame &f, QPoint pos)
{
    const int x = pos.x(), y = pos.y();
    if (near(x, f.left) && near(y, f.top))
        return PreviewHandleLeft | PreviewHandleTop;
    if (near(x, f.right) && near(y, f.bottom))
        return PreviewHandleRight | PreviewHandleBottom;
    if (near(y, f.top) && near(x, f.right))
        return PreviewHandleRight | PreviewHandleTop;
    if (near(y, f.bottom) && near(x, f.left))
        return PreviewHandleLeft | PreviewHandleBottom;
    if (near(y, f.top) && near(x - f.left, f.width() / 2))
        return PreviewHandleTop;
    if (near(y, f.bottom) && near(x - f.left, f.width() / 2))
        return PreviewHandleBottom;
    if (near(x, f.left) && near(y - f.top, f.height() / 2))
        return PreviewHandleLeft;
    if (near(x, f.right) && near(y - f.top, f.height() / 2))
        return PreviewHandleRight;
    return PreviewHandleNone;
}

Qt::CursorShape cursorForHandle(int handle)
{
    switch (handle) {
    case PreviewHandleLeft | PreviewHandleTop:
    case PreviewHandleRight | PreviewHandleBottom:
        return Qt::SizeFDiagCursor;
    case PreviewHandleRight | PreviewHandleTop:
    case PreviewHandleLeft | PreviewHandleBottom:
        return Qt::SizeBDiagCursor;
    case PreviewHandleTop:
    case PreviewHandleBottom:
        return Qt::SizeVerCursor;
    case PreviewHandleLeft:
    case PreviewHandleRight:
        return Qt::SizeHorCursor;
    default:
        return Qt::ArrowCursor;
    }
}

QRect movedRect(const PreviewMapping &mapping, const QRect &current, QPoint canvasPointer, QPoint grabOffset)
{
    const int m = mapping.margin();
    int nx = canvasPointer.x() - grabOffset.x();
    nx = std::max(nx, -(current.width() - m));
    nx = std::min(nx, mapping.canvasWidth() - m);
    int ny = canvasPointer.y() - grabOffset.y();
    ny = std::max(ny, -(current.height() - m));
    ny = std::min(ny, mapping.canvasHeight() - m);
    return QRect(nx, ny, current.width(), current.height());
}

QRect resizedRect(const PreviewMapping &mapping, int handle, const QRect &current, QPoint canvasPointer,
                  QPoint pressPoint, QSize pressSize, bool pendant)
{
    const int canvasW = mapping.canvasWidth(), canvasH = mapping.canvasHeight();
    const int px = std::clamp(canvasPointer.x(), 0, std::max(canvasW, 0));
    const int py = std::clamp(canvasPointer.y(), 0, std::max(canvasH, 0));
    const int dx = px - pressPoint.x(), dy = py - pressPoint.y();

    int x = current.x(), y = current.y(), w = current.width(), h = current.height();
    if (handle & PreviewHandleLeft) {
        x = px;
        w = pressSize.width() - dx;
    } else if (handle & PreviewHandleRight) {
        w = pressSize.width() + dx;
    } else if (handle & (PreviewHandleTop | PreviewHandleBottom)) {
        w = pressSize.width(); // an edge middle keeps the width it had at the press
    }
    if (handle & PreviewHandleTop) {
        y = py;
        h = pressSize.height() - dy;
    } else if (handle & PreviewHandleBottom) {
        h = pressSize.height() + dy;
    }

    const int m = mapping.margin();
    if (pendant)
        w = std::max(std::min(w, canvasW - x), kPendantMinWidth);
    w = std::max(std::min(w, canvasW - x), m);
    h = std::max(std::min(h, canvasH - y), m);
    return QRect(x, y, w, h);
}

} // namespace preview

PreviewEditOutcome PreviewEditor::handleMouse(const PreviewMapping &mapping, int event, QPoint pos,
                                              const std::vector<PreviewItem> &items)
{
    PreviewEditOutcome outcome;
    switch (event) {
    case PreviewLeftPressed:
    case PreviewRightPressed:
        press(mapping, event == PreviewLeftPressed, pos, items);
        break;
    case PreviewLeftReleased:
    case PreviewRightReleased:
        m_dragging = false;
        outcome.cursor = Qt::ArrowCursor;
        break;
    case PreviewPointerMoved:
        outcome = move(mapping, pos, items);
        break;
    default:
        break;
    }
    return outcome;
}

void PreviewEditor::cancel()
{
    m_dragging = false;
    m_handle = PreviewHandleNone;
}

void PreviewEditor::forgetItem(int id)
{
    if (m_selected == id)
        m_selected = -1;
}

void PreviewEditor::press(const PreviewMapping &mapping, bool left, QPoint pos, const std::vector<PreviewItem> &items)
{
    const int id = preview::hitTestItem(mapping, items, m_selected, pos);
    const PreviewItem *item = findItem(items, id);
    if (!item) {
        m_selected = -1;
        return;
    }
    m_selected = id;
    m_dragging = true;
    const QPoint canvas(mapping.previewToCanvasX(pos.x()), mapping.previewToCanvasY(pos.y()));
    m_grabOffset = canvas - item->rect.topLeft();
    m_pressPoint = canvas;
    m_pressSize = item->rect.size();
    m_handle = PreviewHandleNone;
    if (left && item->resizable)
        m_handle = preview::handleAt(mapping.frameOf(item->rect), pos);
}

PreviewEditOutcome PreviewEditor::move(const PreviewMapping &mapping, QPoint pos,
                                       const std::vector<PreviewItem> &items) const
{
    PreviewEditOutcome outcome;
    const PreviewItem *item = findItem(items, m_selected);
    if (!item || !item->resizable)
        outcome.cursor = Qt::ArrowCursor;
    else
        outcome.cursor = preview::cursorForHandle(preview::handleAt(mapping.frameOf(item->rect), pos));

    if (!m_dragging || !item)
        return outcome;
    const QPoint canvas(mapping.previewToCanvasX(pos.x()), mapping.previewToCanvasY(pos.y()));
    if (m_handle == PreviewHandleNone) {
        if (item->movable)
            outcome.geometry = preview::movedRect(mapping, item->rect, canvas, m_grabOffset);
    } else if (item->resizable) {
        outcome.geometry = preview::resizedRect(mapping, m_handle, item->rect, canvas, m_pressPoint, m_pressSize,
                                                item->pendant);
        outcome.cursor = preview::cursorForHandle(m_handle);
    }
    return outcome;
}
