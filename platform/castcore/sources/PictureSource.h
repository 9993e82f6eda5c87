#pragma once

// Pictures and overlay files (PNG, JPEG, BMP, GIF): decoded once, off the
// video and GUI threads, and kept scaled to the item's size. Animated GIFs
// play at their own frame delays.

#include "MediaSource.h"

#include <memory>
#include <string>
#include <vector>

namespace mvplatform {
class CallbackThread;
}

namespace castcore {

class PictureSource : public MediaSource
{
public:
    // `loader` runs the decoding; it outlives the source.
    explicit PictureSource(mvplatform::CallbackThread &loader);
    ~PictureSource() override;

    void update(const SceneItem &item) override; // item.sources.front() is the file
    void resize(const QSize &itemSize) override;
    bool tick(MediaClock::time_point now) override;
    QImage picture() const override;

private:
    struct Shared;

    void requestDecode();
    // On the loader.
    static void decodeJob(const std::shared_ptr<Shared> &shared, unsigned long long request, const QString &path,
                          const QSize &size);
    bool takeDecoded(MediaClock::time_point now);
    bool advanceAnimation(MediaClock::time_point now);

    mvplatform::CallbackThread &m_loader;
    // What the loader's jobs share with the source: a job holds it, never
    // the source, so a job outliving the source touches nothing freed.
    std::shared_ptr<Shared> m_shared;
    std::string m_file;
    QSize m_size;

    std::vector<QImage> m_frames;
    std::vector<int> m_delaysMs;
    int m_cycleMs = 0;
    std::size_t m_index = 0;
    MediaClock::time_point m_frameEnd;
    QImage m_picture;
};

} // namespace castcore
