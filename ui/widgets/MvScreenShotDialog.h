#pragma once

#include "ScreenShotGeometry.h"

#include <QDialog>
#include <QPixmap>
#include <QRect>
#include <QVector>

// Picks a rectangle of the screen over a frozen, dimmed picture of it. While
// nothing is selected the top-level window under the mouse is framed; a
// click takes that window, a drag draws a rectangle, which then moves and
// resizes by its eight handles. Enter, Return or a double click accept
// (exec() answers 1); Escape, or the right button with nothing selected,
// end with 0. Coordinates are the picker's own: (0, 0) is the top-left
// corner of the grabbed area.
class MvScreenShotDialog : public QDialog
{
    Q_OBJECT

public:
    // The area to grab in desktop coordinates; a width or height of 0 means
    // the whole desktop.
    MvScreenShotDialog(int x, int y, int width, int height, QWidget *parent = nullptr);
    ~MvScreenShotDialog() override;

    // Resets the selection and grabs the area from the screen.
    QPixmap GrabDesktop();
    // The picture to pick from; resets the selection.
    void GrabFullScreen(QPixmap picture);
    // The accepted rectangle.
    QRect GetResultRect() const { return m_result; }

    // The rectangle now shown (what Enter would accept) and the state.
    QRect currentRect() const;
    int state() const { return m_state; }
    QRect grabArea() const { return QRect(m_grabX, m_grabY, m_grabWidth, m_grabHeight); }
    // The frozen picture the user picks from.
    QPixmap desktopPicture() const { return m_desktop; }

    // The coordinate box over the selection.
    void DrawInfo(QPainter &painter);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void resetSelection();
    void updateHover(const QPoint &pos);
    // Ends a move or resize: the shown rectangle becomes the selection.
    void commitSelection();
    void acceptSelection();
    void drawSelection(QPainter &painter, const QRect &selection);

    QVector<QRect> m_windows; // top-level windows, topmost first
    QPoint m_beginPoint;
    QPoint m_endPoint;
    QPoint m_moveStart;
    QPoint m_moveEnd;
    QPixmap m_desktop;
    QPixmap m_dimmed; // the picture with the dimming laid over it once
    int m_state = screenshot::Hovering;
    int m_handle = screenshot::NoHandle;
    int m_areaWidth = 0;
    int m_areaHeight = 0;
    int m_areaX = 0;
    int m_areaY = 0;
    int m_infoWidth = 100;
    int m_infoHeight = 50;
    QRect m_result;
    QRect m_hover;
    QPoint m_pressPos;
    bool m_pressed = false;
    int m_grabX = 0;
    int m_grabY = 0;
    int m_grabWidth = 0;
    int m_grabHeight = 0;
};
