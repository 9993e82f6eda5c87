#include "MvPicTextBtn.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

MvPicTextBtn::MvPicTextBtn(QWidget *parent)
    : QPushButton(parent)
{
}

MvPicTextBtn::~MvPicTextBtn() = default;

void MvPicTextBtn::SetTextFont(const QString &family, int pixelSize, bool bold)
{
    m_layout.setFont(family, pixelSize, bold);
}

void MvPicTextBtn::SetPictures(const QString &normalPicture, const QString &activePicture)
{
    m_normalPicture = normalPicture;
    m_activePicture = activePicture;
}

void MvPicTextBtn::SetTextColors(const QColor &normal, const QColor &hover, const QColor &pressed)
{
    m_textNormal = normal;
    m_textHover = hover;
    m_textPressed = pressed;
}

void MvPicTextBtn::SetBackgroundColors(const QColor &normal, const QColor &hover,
                                       const QColor &pressed, const QColor &border)
{
    m_backNormal = normal;
    m_backHover = hover;
    m_backPressed = pressed;
    m_border = border;
}

void MvPicTextBtn::SetPictureOffset(int offset)
{
    m_layout.pictureOffset = offset;
}

void MvPicTextBtn::SetTextSpacing(int spacing)
{
    m_layout.textSpacing = spacing;
}

void MvPicTextBtn::SetRadius(int radius)
{
    m_radius = radius;
}

void MvPicTextBtn::mousePressEvent(QMouseEvent *event)
{
    // The base never sees the press, so clicked() is never emitted.
    if (event->button() != Qt::LeftButton)
        return;
    m_pressed = true;
    m_state = StatePressed;
    update();
}

void MvPicTextBtn::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_pressed)
        return;
    // A release outside ends the press without a signal; keeping it pending
    // would let a later stray release (any button) fire the button.
    m_pressed = false;
    if (!rect().contains(event->pos()))
        return;
    m_state = StateHover;
    update();
    emit buttonpressed();
}

void MvPicTextBtn::enterEvent(QEvent *)
{
    setCursor(Qt::PointingHandCursor);
    m_state = StateHover;
    update();
}

void MvPicTextBtn::leaveEvent(QEvent *)
{
    setCursor(Qt::ArrowCursor);
    m_state = StateNormal;
    update();
}

void MvPicTextBtn::paintEvent(QPaintEvent *)
{
    if (m_normalPicture.isEmpty())
        return;

    QColor back = m_backNormal;
    QColor textColor = m_textNormal;
    QString picturePath = m_normalPicture;
    if (m_state == StateHover) {
        back = m_backHover;
        textColor = m_textHover;
        picturePath = m_activePicture;
    } else if (m_state == StatePressed) {
        back = m_backPressed;
        textColor = m_textPressed;
        picturePath = m_activePicture;
    }

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = width();
    const int h = height();

    QPainterPath fill;
    fill.addRoundedRect(QRectF(1, 1, w - 2, h - 2), m_radius, m_radius, Qt::AbsoluteSize);
    painter.fillPath(fill, back);

    painter.setPen(QPen(m_border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRect(0, 0, w, h), m_radius, m_radius, Qt::AbsoluteSize);

    m_layout.paint(painter, size(), QPixmap(picturePath), textColor, text());
}
