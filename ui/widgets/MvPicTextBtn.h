#pragma once

#include "MvPicTextLayout.h"

#include <QColor>
#include <QPushButton>
#include <QString>

// Rounded button with picture and text in three colour states. It reports a
// press-and-release inside itself as buttonpressed(), never as clicked().
class MvPicTextBtn : public QPushButton
{
    Q_OBJECT
public:
    enum State { StateNormal = 0, StateHover = 1, StatePressed = 2 };

    explicit MvPicTextBtn(QWidget *parent = nullptr);
    ~MvPicTextBtn() override;

    void SetTextFont(const QString &family, int pixelSize, bool bold);
    void SetPictures(const QString &normalPicture, const QString &activePicture);
    void SetTextColors(const QColor &normal, const QColor &hover, const QColor &pressed);
    void SetBackgroundColors(const QColor &normal, const QColor &hover, const QColor &pressed,
                             const QColor &border);
    void SetPictureOffset(int offset);
    void SetTextSpacing(int spacing);
    void SetRadius(int radius);

    int CurrentState() const { return m_state; }
    bool IsPressed() const { return m_pressed; }

signals:
    void buttonpressed();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void enterEvent(QEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_normalPicture;
    QString m_activePicture;
    QColor m_textNormal;
    QColor m_textHover;
    QColor m_textPressed;
    QColor m_backNormal;
    QColor m_backHover;
    QColor m_backPressed;
    QColor m_border;
    MvPicTextLayout m_layout{2, 5};
    int m_radius = 0;
    int m_state = StateNormal;
    bool m_pressed = false;
};
