#pragma once

#include "MvDragDialog.h"
#include "TextOverlayInfo.h"

#include <memory>

class LiveProxy;
class QPushButton;

namespace Ui {
class UiAddText;
}

// Edits a text item's look and previews every change on the item at once.
// It never undoes anything: when the dialog was not closed with OK, the
// caller puts the item back as it was.
class UiAddText : public MvDragDialog
{
    Q_OBJECT

public:
    explicit UiAddText(LiveProxy *proxy, QWidget *parent = nullptr);
    ~UiAddText() override;

    // Loads the record without previewing it; accepted reads false until OK.
    void SetTextInfo(const TextOverlayInfo &info);
    // The edited record, accepted and itemId included.
    void GetTextInfo(TextOverlayInfo &info) const;

    // Sends the controls' state to the item (nothing without an item or facade).
    void ApplyPreview();
    // Reads every control but the colour swatches into the record.
    void UpdateFromControls();
    // Shows the record in every control.
    void ShowTextInfo();

    static void ToEngineText(const TextOverlayInfo &record, TextInfo *info) { toEngineText(record, info); }

    // The preview's whole edit of a text item: reads its look, runs the
    // editor modally on it and, unless it closed with OK, puts the look and
    // the placement back exactly as they were. Answers whether it was
    // accepted; an id below 1 opens nothing.
    static bool EditItem(LiveProxy *proxy, int itemId);

    // The longest text the engine's buffer takes.
    static constexpr int kMaxTextUnits = kTextTextUnits - 1;

private slots:
    void on_pushButton_close_clicked();
    void on_pushButton_color_clicked();
    void on_pushButton_background_clicked();
    void on_pushButton_outline_color_clicked();
    void on_pushButton_cancel_clicked();
    void on_pushButton_ok_clicked();
    void on_checkBox_extend_clicked();
    void on_comboBox_font_currentTextChanged(const QString &text);
    void on_spinBox_transparent_valueChanged(int value);
    void on_spinBox_roll_valueChanged(int value);
    void on_checkBox_outline_clicked();
    void on_spinBox_outline_transparent_valueChanged(int value);
    void on_spinBox_outline_size_valueChanged(int value);
    void on_spinBox_font_size_valueChanged(int value);
    void on_checkBox_bold_clicked();
    void on_checkBox_italic_clicked();
    void on_checkBox_underline_clicked();
    void on_checkBox_vertical_clicked();
    void on_spinBox_extend_size1_valueChanged(int value);
    void on_spinBox_extend_size2_valueChanged(int value);
    void on_checkBox_extend_scroll_clicked();
    void on_checkBox_extend_newline_clicked();
    void on_comboBox_extend_align_currentIndexChanged(int index);
    void on_textEdit_textChanged();
    void on_spinBox_b_transparent_valueChanged(int value);

private:
    void InitControls();
    void ResetTextInfo();
    void PickColor(QColor *field, QPushButton *swatch);
    void ShowSwatch(QPushButton *swatch, const QColor &color);
    void SelectFont(const QString &font);
    void EnableExtendControls(bool on);

    std::unique_ptr<Ui::UiAddText> ui;
    TextOverlayInfo m_info;
    LiveProxy *m_proxy = nullptr;
};
