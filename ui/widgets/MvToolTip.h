#pragma once

#include <QLabel>
#include <QRect>

#include <memory>

class QAbstractAnimation;
class QPauseAnimation;
class QPropertyAnimation;

// Frameless, always-on-top message label: slides in from 20 pixels above its
// place, stays for three seconds from the show and fades out.
class MvToolTip : public QLabel
{
    Q_OBJECT
public:
    static constexpr int kSlideMs = 200;
    static constexpr int kHoldMs = 3000;
    static constexpr int kFadeMs = 500;
    static constexpr int kSlideDistance = 20;
    static constexpr double kOpacity = 0.7;
    static constexpr double kFadedOpacity = 0.1;

    explicit MvToolTip(QWidget *parent = nullptr);
    ~MvToolTip() override;

    void SetColors(const QColor &textColor, const QColor &backgroundColor);
    void ShowMessage(const QString &text);

    void SetFlag(bool flag) { m_flag = flag; }
    bool Flag() const { return m_flag; }

    // The three stages run on the animation clock; the hold is a pause that
    // ends in OnMessageTimeout(). Exposed so they can be stepped.
    QPropertyAnimation *SlideAnimation() const { return m_slide.get(); }
    QPauseAnimation *HoldAnimation() const { return m_hold.get(); }
    QPropertyAnimation *FadeAnimation() const { return m_fade.get(); }
    QRect TargetGeometry() const { return m_targetGeometry; }

public slots:
    void OnMessageTimeout();
    void OnAnimationFinished();

private:
    QRect m_targetGeometry;
    bool m_flag = false;
    std::unique_ptr<QPropertyAnimation> m_slide;
    std::unique_ptr<QPropertyAnimation> m_fade;
    std::unique_ptr<QPauseAnimation> m_hold;
};
