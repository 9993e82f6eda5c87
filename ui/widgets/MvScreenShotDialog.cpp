#include "MvScreenShotDialog.h"

#include "TopLevelWindows.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

using namespace screenshot;

namespace {

const QColor kDimColor(0, 0, 0, 200);
const QColor kFrameColor(255, 75, 50);

bool isSelectedState(int state)
{
    return state == Selected || state == Moved || state == Resized;
}

} // namespace

MvScreenShotDialog::MvScreenShotDialog(int x, int y, int width, int height, QWidget *parent)
    : QDialog(parent)
{
    m_infoWidth = 100;
    m_infoHeight = 50;
    resetSelection();

    for (const mvplatform::TopLevelWindow &w : mvplatform::TopLevelWindows::list())
        m_windows.append(w.rect);

    m_grabX = x;
    m_grabY = y;
    m_grabWidth = width;
    m_grabHeight = height;
    if (m_grabWidth == 0 || m_grabHeight == 0) {
        const QSize desktop = QApplication::desktop()->size();
        m_grabWidth = desktop.width();
        m_grabHeight = desktop.height();
    }
    // The picker lies exactly over the grabbed area, which window managers
    // that ignore the full-screen state respect too; full screen only where
    // the area is a whole screen, since it would stretch the picker over
    // the screen otherwise.
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    const QRect area(m_grabX, m_grabY, m_grabWidth, m_grabHeight);
    setGeometry(area);
    QScreen *screen = QGuiApplication::screenAt(area.center());
    if (screen && screen->geometry() == area)
        setWindowState(Qt::WindowFullScreen | Qt::WindowActive);
    else
        setWindowState(Qt::WindowActive);
    // Clamps and dimming cover the grabbed area, also before a picture came.
    m_areaWidth = m_grabWidth;
    m_areaHeight = m_grabHeight;
    // The frame follows the mouse from mouse moves, not from paint.
    setMouseTracking(true);
}

MvScreenShotDialog::~MvScreenShotDialog() = default;

QPixmap MvScreenShotDialog::GrabDesktop()
{
    resetSelection();
    QScreen *screen = QGuiApplication::primaryScreen();
    // Window 0 is the whole desktop (the root window on X11).
    return screen ? screen->grabWindow(0, m_grabX, m_grabY, m_grabWidth, m_grabHeight) : QPixmap();
}

void MvScreenShotDialog::GrabFullScreen(QPixmap picture)
{
    m_desktop = picture;
    m_areaX = 0;
    m_areaY = 0;
    // The grabbed area, not the whole desktop: with several displays the
    // picker covers one of them.
    m_areaWidth = m_grabWidth;
    m_areaHeight = m_grabHeight;
    m_dimmed = QPixmap(m_areaWidth, m_areaHeight);
    m_dimmed.fill(Qt::black);
    {
        QPainter p(&m_dimmed);
        p.drawPixmap(0, 0, m_desktop);
        p.fillRect(QRect(0, 0, m_areaWidth, m_areaHeight), kDimColor);
    }
    resetSelection();
    updateHover(QCursor::pos() - QPoint(m_grabX, m_grabY));
}

void MvScreenShotDialog::resetSelection()
{
    m_state = Hovering;
    m_handle = NoHandle;
    m_pressed = false;
    m_moveStart = m_moveEnd = QPoint();
}

void MvScreenShotDialog::updateHover(const QPoint &pos)
{
    const QRect hover = hoverRect(m_windows, pos + QPoint(m_grabX, m_grabY), QPoint(m_grabX, m_grabY),
                                  QSize(m_areaWidth, m_areaHeight));
    if (hover != m_hover) {
        m_hover = hover;
        update();
    }
}

QRect MvScreenShotDialog::currentRect() const
{
    const QRect r = rectFromPoints(m_beginPoint, m_endPoint);
    switch (m_state) {
    case Hovering:
        return m_hover;
    case Moving:
        return movedRect(r, m_moveStart, m_moveEnd, QSize(m_areaWidth, m_areaHeight));
    case Resizing:
        return resizedRect(r, m_handle, m_moveEnd);
    default:
        return r;
    }
}

void MvScreenShotDialog::commitSelection()
{
    const QRect r = currentRect();
    m_beginPoint = r.topLeft();
    m_endPoint = QPoint(r.x() + r.width(), r.y() + r.height());
    m_moveStart = m_moveEnd = QPoint();
}

void MvScreenShotDialog::acceptSelection()
{
    m_result = currentRect();
    accept();
}

void MvScreenShotDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(kFrameColor, 2, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    if (m_dimmed.isNull())
        painter.fillRect(QRect(m_areaX, m_areaY, m_areaWidth, m_areaHeight), kDimColor);
    else
        painter.drawPixmap(m_areaX, m_areaY, m_dimmed);

    if (m_state == Hovering) {
        painter.setPen(QPen(kFrameColor, 12, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        const QRect frame = m_hover.adjusted(3, 3, -3, -3);
        if (!m_hover.isEmpty())
            painter.drawRect(frame);
        if (frame.width() > 0 && frame.height() > 0)
            painter.drawPixmap(frame.topLeft(), m_desktop, frame);
    } else {
        drawSelection(painter, currentRect());
    }
}

void MvScreenShotDialog::drawSelection(QPainter &painter, const QRect &selection)
{
    painter.drawRect(selection);
    if (selection.width() > 0 && selection.height() > 0)
        painter.drawPixmap(selection.topLeft(), m_desktop, selection);
    for (const QRect &square : handleSquares(selection))
        painter.fillRect(square, kFrameColor);
}

void MvScreenShotDialog::DrawInfo(QPainter &painter)
{
    const QRect s = currentRect();
    const QRect box(s.x() + 5, s.y() > 50 ? s.y() - 50 : s.y(), m_infoWidth, m_infoHeight);
    painter.fillRect(box, kFrameColor);
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral(" 坐标信息\n x:%1 y:%2\n w:%3 h:%4")
                         .arg(s.x(), 4)
                         .arg(s.y(), 4)
                         .arg(s.width(), 4)
                         .arg(s.height(), 4));
}

void MvScreenShotDialog::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        resetSelection();
        reject();
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isSelectedState(m_state))
            acceptSelection();
        break;
    default:
        break;
    }
}

void MvScreenShotDialog::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    if (event->button() == Qt::LeftButton) {
        if (m_state == Hovering) {
            updateHover(pos);
            m_beginPoint = m_hover.topLeft();
            m_endPoint = QPoint(m_hover.x() + m_hover.width(), m_hover.y() + m_hover.height());
            m_pressed = true;
            m_pressPos = pos;
        } else if (isSelectedState(m_state)) {
            const QRect current = currentRect();
            const int handle = hitHandle(current, pos);
            if (handle != NoHandle) {
                m_state = Resizing;
                m_handle = handle;
                m_moveStart = m_moveEnd = pos;
            } else if (current.contains(pos)) {
                m_state = Moving;
                m_moveStart = m_moveEnd = pos;
            }
        }
    } else if (event->button() == Qt::RightButton) {
        if (m_state == Hovering) {
            reject();
        } else if (isSelectedState(m_state)) {
            resetSelection();
            updateHover(pos);
            update();
        }
    }
}

void MvScreenShotDialog::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->pos();
    if (m_pressed) {
        m_state = Dragging;
        m_beginPoint = m_pressPos;
        m_endPoint = pos;
        update();
    } else if (m_state == Moving || m_state == Resizing) {
        m_moveEnd = pos;
        update();
    } else if (m_state == Hovering) {
        updateHover(pos);
    }
    setCursor(cursorFor(m_state, currentRect(), pos, m_handle));
}

void MvScreenShotDialog::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = false;
    if (m_state == Hovering) {
        // A click without a drag takes the framed window.
        m_state = Selected;
        m_beginPoint = m_hover.topLeft();
        m_endPoint = QPoint(m_hover.x() + m_hover.width(), m_hover.y() + m_hover.height());
        update();
    } else if (m_state == Dragging) {
        m_state = Selected;
        m_endPoint = event->pos();
        update();
    } else if (m_state == Moving || m_state == Resizing) {
        m_moveEnd = event->pos();
        commitSelection();
        m_state = m_state == Moving ? Moved : Resized;
        update();
    }
}

void MvScreenShotDialog::mouseDoubleClickEvent(QMouseEvent *)
{
    if (m_state == Hovering || isSelectedState(m_state))
        acceptSelection();
}
