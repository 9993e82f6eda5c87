#pragma once

#include <QPushButton>
#include <QString>

// Picture that grows on hover and gets an orange frame when highlighted.
class MvEnterButton : public QPushButton
{
    Q_OBJECT
public:
    MvEnterButton(const QString &picturePath, int width, int height, QWidget *parent = nullptr);
    ~MvEnterButton() override;

    void SetHighlighted(bool highlighted);

    bool IsHighlighted() const { return m_highlighted; }
    bool IsHover() const { return m_hover; }

protected:
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_picturePath;
    int m_width;
    int m_height;
    bool m_hover = false;
    bool m_highlighted = false;
};
