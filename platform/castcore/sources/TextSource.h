#pragma once

// Text and effective-text items: every field of the item's text style,
// laid out once per change and scrolled at its roll speed.

#include "MediaSource.h"

#include <array>

namespace castcore {

class TextSource : public MediaSource
{
public:
    TextSource();
    ~TextSource() override;

    // item.text (TextStyle). The text of an effective text is item.text too:
    // the facade keeps its text area's geometry in item.effectiveText, which
    // is therefore never shown.
    void update(const SceneItem &item) override;
    void resize(const QSize &itemSize) override;
    bool tick(MediaClock::time_point now) override;
    QImage picture() const override;

private:
    void relayout();
    int rollSpeed() const;
    bool roll(MediaClock::time_point now);
    QImage &freeBuffer();

    TextStyle m_style;
    QSize m_itemSize;
    bool m_dirty = true;

    // A rolling text is drawn once, on its background, into m_strip; each
    // frame copies the visible columns into one of the pooled buffers.
    QImage m_strip;
    QSize m_size;
    uint m_background = 0; // premultiplied
    bool m_rollStarted = false;
    MediaClock::time_point m_rollStart;
    int m_shift = -1;
    std::array<QImage, 3> m_buffers;

    QImage m_picture;
};

} // namespace castcore
