#include "MvToolTip.h"

#include <QPalette>
#include <QPauseAnimation>
#include <QPropertyAnimation>

MvToolTip::MvToolTip(QWidget *parent)
    : QLabel(parent, Qt::WindowFlags())
{
    setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    // Flags first: a child widget ignores a window opacity until it is a window.
    setWindowFlags(Qt::Window | Qt::SubWindow | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setWindowOpacity(kOpacity);

    m_slide = std::make_unique<QPropertyAnimation>(this, QByteArrayLiteral("geometry"));
    m_fade = std::make_unique<QPropertyAnimation>(this, QByteArrayLiteral("windowOpacity"));
    m_hold = std::make_unique<QPauseAnimation>(kHoldMs);
    connect(m_fade.get(), SIGNAL(finished()), this, SLOT(OnAnimationFinished()));
    connect(m_hold.get(), SIGNAL(finished()), this, SLOT(OnMessageTimeout()));
}

MvToolTip::~MvToolTip()
{
    // Stop before the label goes, so no stage touches a half-destroyed widget.
    m_hold->stop();
    m_fade->stop();
    m_slide->stop();
}

void MvToolTip::SetColors(const QColor &textColor, const QColor &backgroundColor)
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, textColor);
    palette.setColor(QPalette::Window, backgroundColor);
    setAutoFillBackground(true);
    setPalette(palette);
}

void MvToolTip::ShowMessage(const QString &text)
{
    // While shown (or fading) only the text changes; the first message's
    // three seconds still decide when it goes.
    if (isVisible()) {
        setText(text);
        return;
    }

    // A tip hidden from outside may still have stages pending; they belong to
    // the old message.
    m_hold->stop();
    m_slide->stop();
    if (m_fade->state() != QAbstractAnimation::Stopped) {
        m_fade->stop();
        setWindowOpacity(kOpacity);
    }

    setText(text);
    show();
    m_targetGeometry = geometry();

    m_slide->setDuration(kSlideMs);
    m_slide->setStartValue(m_targetGeometry.translated(0, -kSlideDistance));
    m_slide->setEndValue(m_targetGeometry);
    m_slide->start();

    m_hold->setDuration(kHoldMs);
    m_hold->start();
}

void MvToolTip::OnMessageTimeout()
{
    m_fade->setDuration(kFadeMs);
    m_fade->setStartValue(kOpacity);
    m_fade->setEndValue(kFadedOpacity);
    m_fade->start();
}

void MvToolTip::OnAnimationFinished()
{
    setText(QString());
    hide();
    setWindowOpacity(kOpacity);
}
