#pragma once

#include <QPushButton>
#include <QString>

// Vertical tab: picture above bold text, with a triangle marker while active.
class MvSideButton : public QPushButton
{
    Q_OBJECT
public:
    explicit MvSideButton(QWidget *parent = nullptr);
    ~MvSideButton() override;

    void SetPictures(const QString &normalPicture, const QString &activePicture);
    void SetCheckedLook(bool checked);

    bool CheckedLook() const { return m_checkedLook; }
    bool IsHover() const { return m_hover; }

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_normalPicture;
    QString m_activePicture;
    bool m_hover = false;
    bool m_checkedLook = false;
};
