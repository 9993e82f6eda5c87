#pragma once

#include "MvDragDialog.h"

#include <QString>

class LayeredShadowWindow;

namespace Ui {
class UiToolTipDialog;
}

// The message box: a small frameless dialog titled "提示" with a centred,
// word-wrapped text and either one wide "确定" or the pair "确定" / "取消".
// Callers create it on the stack, run exec() and read 1 (OK) or 0.
class UiToolTipDialog : public MvDragDialog
{
    Q_OBJECT

public:
    explicit UiToolTipDialog(QString text, QWidget *parent = nullptr);
    ~UiToolTipDialog() override;

    // Records this box in currentDialog, then runs it modally.
    int exec() override;

    // true: "确定" and "取消" side by side; false: the single wide "确定".
    void setCancelVisible(bool visible);
    void setText(QString text);

private slots:
    void on_pushButton_close_clicked();
    void on_pushButton_ok_clicked();
    void on_pushButton_oksmall_clicked();
    void on_pushButton_cancelsmall_clicked();

private:
    Ui::UiToolTipDialog *ui;
    LayeredShadowWindow *m_shadow = nullptr;
    bool m_inExec = false;
};
