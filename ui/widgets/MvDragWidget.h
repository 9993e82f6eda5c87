#pragma once

#include "MvDragTracker.h"

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
    MvDragTracker m_drag;
};
