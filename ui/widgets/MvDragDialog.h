#pragma once

#include "MvDragTracker.h"

#include <QDialog>

// Base of the frameless dialogs: pressing the left button on an empty part of
// the dialog (or on a child that ignores the press) and moving the mouse drags
// the dialog. Window flags are left to the derived dialog.
class MvDragDialog : public QDialog
{
public:
    explicit MvDragDialog(QWidget *parent = nullptr);
    ~MvDragDialog() override;

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // Derived dialogs that override this call it from their override.
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    MvDragTracker m_drag;
};
