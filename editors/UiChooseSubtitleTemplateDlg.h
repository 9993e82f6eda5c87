#pragma once

#include "MvDragDialog.h"
#include "SubtitleTemplate.h"

#include <QList>
#include <QString>
#include <QVector>

class LayeredShadowWindow;
class MvEnterButton;

namespace Ui {
class UiChooseSubtitleTemplateDlg;
}

// "选择字幕": one picture button per subtitle template, the current one
// highlighted; reports the clicked one when confirmed. Run on the caller's
// stack: SetTemplates, exec, GetSelectedIndex when exec gave 1.
class UiChooseSubtitleTemplateDlg : public MvDragDialog
{
    Q_OBJECT

public:
    explicit UiChooseSubtitleTemplateDlg(QWidget *parent = nullptr);
    ~UiChooseSubtitleTemplateDlg() override;

    // Keeps the caller's templates (not a copy) and fills the table.
    void SetTemplates(QVector<SubtitleTemplate> *templates, const QString &currentThumbnail);
    // Records this dialog in currentDialog, then runs it modally.
    int exec() override;
    // The clicked template's index, -1 when none was clicked.
    int GetSelectedIndex() const;

    QList<MvEnterButton *> templateButtons() const { return m_buttons; }

public slots:
    void slot_TemlapteItemClicked(bool);
    void on_pushButton_ok_clicked();
    void on_pushButton_cancel_clicked();

private:
    void FillTable(const QString &currentThumbnail);

    Ui::UiChooseSubtitleTemplateDlg *ui;
    QVector<SubtitleTemplate> *m_templates = nullptr;
    QList<MvEnterButton *> m_buttons;
    int m_selected = -1;
    bool m_inExec = false;
    LayeredShadowWindow *m_shadow = nullptr;
};
