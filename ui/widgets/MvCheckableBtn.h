#pragma once

#include "MvPicTextLayout.h"

#include <QColor>
#include <QPushButton>
#include <QString>

// Picture and text side by side; the checked look swaps in the second picture.
class MvCheckableBtn : public QPushButton
{
    Q_OBJECT
public:
    explicit MvCheckableBtn(QWidget *parent = nullptr);
    ~MvCheckableBtn() override;

    void SetPictures(const QString &normalPicture, const QString &checkedPicture);
    void SetTextColor(const QColor &color);
    void SetTextFont(const QString &family, int pixelSize, bool bold);
    void SetFontFlag(bool bold);
    void SetPictureOffset(int offset);
    void SetTextSpacing(int spacing);
    void SetCheckedLook(bool checked);

    bool CheckedLook() const { return m_checkedLook; }
    bool FontFlag() const { return m_layout.bold; }

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_normalPicture;
    QString m_checkedPicture;
    QColor m_textColor;
    MvPicTextLayout m_layout{0, 6};
    bool m_checkedLook = false;
};
