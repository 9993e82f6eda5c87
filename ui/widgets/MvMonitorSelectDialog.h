#pragma once

#include "MvDragDialog.h"

#include <memory>

class LayeredShadowWindow;

namespace Ui {
class MvMonitorSelectDialog;
}

// Asks which monitor a screen capture should show: one entry "显示器N" per
// display, numbered from 1. Callers create it on the stack with the number of
// displays, run exec() (1 after "添加", 0 after "取消" or the close button)
// and then read the chosen 0-based display from GetSelectedIndex().
class MvMonitorSelectDialog : public MvDragDialog
{
    Q_OBJECT

public:
    explicit MvMonitorSelectDialog(int screenCount, QWidget *parent = nullptr);
    ~MvMonitorSelectDialog() override;

    // Records this picker in currentDialog, then runs it modally.
    int exec() override;

    // The chosen display, 0-based; 0 unless the user confirmed.
    int GetSelectedIndex() const;

public slots:
    void OnButtonClicked();

private:
    std::unique_ptr<Ui::MvMonitorSelectDialog> ui;
    int m_screenCount = 0;
    int m_selectedIndex = 0;
    LayeredShadowWindow *m_shadow = nullptr;
    bool m_inExec = false;
};
