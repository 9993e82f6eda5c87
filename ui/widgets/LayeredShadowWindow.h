#pragma once

#include <QImage>
#include <QWidget>

// A soft drop shadow, 8 pixels wide on every side, for a frameless top-level
// window: a separate click-through, translucent window kept exactly 8 pixels
// larger than its target on each side. The target owns it, so it lives as
// long as the target does. It shows only while the target is shown in the
// normal state and a compositor can blend it; otherwise it stays hidden.
class LayeredShadowWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 8;
    static constexpr int kInnerAlpha = 40;

    // The shadow of the top-level widget whose native window is `target`,
    // created on the first call and the same object on every later one.
    // Null when the handle names no top-level widget of this process.
    static LayeredShadowWindow *Attach(WId target);

    // The picture for a target of the given window size: (w + 16) x (h + 16),
    // black whose alpha falls from 40 next to the target to 0 at 8 pixels
    // out, fully transparent under the target itself. A null image when the
    // picture is too large to allocate.
    static QImage renderShadow(const QSize &targetSize);

    QWidget *target() const { return m_target; }
    // The picture it paints, made on its first paint: null while the shadow
    // has never been shown.
    const QImage &picture() const { return m_picture; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    explicit LayeredShadowWindow(QWidget *target);

    void followGeometry();
    void updateVisibility();
    bool wanted() const;

    QWidget *m_target;
    QImage m_picture;
    QSize m_pictureFor{-1, -1}; // the target size m_picture was made for
};
