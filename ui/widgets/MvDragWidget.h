#pragma once

#include <QPoint>
#include <QWidget>

// A plain widget that drags the widget two levels above it (the title bar
// moves the main window this way): press the left button on it and move.
class MvDragWidget : public QWidget
{
    Q_OBJECT

public:
    explicit MvDragWidget(QWidget *parent = nullptr);
    ~MvDragWidget() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    bool m_dragging = false;
    QPoint m_pressPoint;
    QPoint m_currentPoint;
};
