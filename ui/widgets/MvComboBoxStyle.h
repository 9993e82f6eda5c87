#pragma once

#include <QComboBox>

class QListWidget;

// Combo box with its own list popup, which always opens at its first entry.
class MvComboBoxStyle : public QComboBox
{
    Q_OBJECT
public:
    explicit MvComboBoxStyle(QWidget *parent = nullptr);
    ~MvComboBoxStyle() override;

    // The program's combo look: a focus-free item delegate and the style sheet.
    void ApplyComboLook();

    QListWidget *PopupList() const { return m_list; }

    static QString ComboStyleSheet();

    void showPopup() override;
    void hidePopup() override;

private:
    QListWidget *m_list = nullptr;
};
