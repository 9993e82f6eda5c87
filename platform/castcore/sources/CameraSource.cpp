#include "CameraSource.h"

#include "CameraFramePool.h"
#include "SyntheticCamera.h"
#include "ThreadSignalStack.h"
#include "V4l2Camera.h"

#include <QString>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>

namespace castcore {

namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kDefaultFps = 30;
constexpr int kMaxSide = 8192;
constexpr int kMaxFps = 240;
// How long a device read may wait before the thread looks at its settings.
constexpr int kReadSliceMs = 100;

struct CameraSettings
{
    std::u16string device;
    CameraParams params;

    bool operator==(const CameraSettings &o) const
    {
        return device == o.device && params.colorFormat == o.params.colorFormat && params.width == o.params.width
               && params.height == o.params.height && params.fps == o.params.fps;
    }
};

// The V4L2 device behind a camera name; empty for a world camera.
std::string devicePathOf(const std::u16string &device)
{
    if (!device.empty() && device.front() == u'/')
        return QString::fromStdU16String(device).toStdString();
    for (const CameraEntry &entry : listV4l2Cameras("/dev"))
        if (entry.device.name == device)
            return entry.devicePath;
    return std::string();
}

} // namespace

class CameraSource::Capture
{
public:
    Capture()
        : m_thread([this] { run(); })
    {
    }

    ~Capture()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void setSettings(const CameraSettings &settings)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_settingsSerial > 0 && settings == m_settings)
                return;
            m_settings = settings;
            ++m_settingsSerial;
        }
        m_wake.notify_all();
    }

    // The newest frame when it is newer than `serial`.
    bool takeNewer(uint64_t *serial, QImage *frame)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_frameSerial == *serial)
            return false;
        *serial = m_frameSerial;
        *frame = std::move(m_latest); // the mailbox keeps no copy: the pool gets it back sooner
        m_latest = QImage();
        return true;
    }

private:
    void run()
    {
        // Else it would carry the name of the thread that made it (the
        // compositor's), and per-thread figures would mix the two.
        pthread_setname_np(pthread_self(), "castcore-camera");
        const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
        uint64_t seen = 0;
        for (;;) {
            CameraSettings settings;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stopping || m_settingsSerial != seen; });
                if (m_stopping)
                    return;
                settings = m_settings;
                seen = m_settingsSerial;
            }
            const std::string path = devicePathOf(settings.device);
            if (path.empty())
                runSynthetic(settings.params, seen);
            else
                runDevice(path, settings.params, seen);
        }
    }

    bool changed(uint64_t seen)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_stopping || m_settingsSerial != seen;
    }

    void waitForChange(uint64_t seen)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [&] { return m_stopping || m_settingsSerial != seen; });
    }

    void publish(const QImage &frame)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_latest = frame;
        ++m_frameSerial;
    }

    // Frame n is due at start + n * interval, so waiting never drifts; a
    // frame whose time has passed is dropped, not drawn late.
    void runSynthetic(const CameraParams &params, uint64_t seen)
    {
        const bool sized = params.width > 0 && params.height > 0;
        const QSize size(sized ? std::min(params.width, kMaxSide) : kDefaultWidth,
                         sized ? std::min(params.height, kMaxSide) : kDefaultHeight);
        const int fps = params.fps > 0 ? std::min(params.fps, kMaxFps) : kDefaultFps;
        const auto interval = std::chrono::duration_cast<MediaClock::duration>(std::chrono::seconds(1)) / fps;
        const MediaClock::time_point start = MediaClock::now();
        SyntheticCamera camera;
        for (int64_t n = 0;; ++n) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                if (m_wake.wait_until(lock, start + n * interval,
                                      [&] { return m_stopping || m_settingsSerial != seen; }))
                    return;
            }
            QImage *frame = m_pool.take(size);
            if (!frame)
                return waitForChange(seen);
            camera.render(*frame, std::chrono::duration_cast<std::chrono::milliseconds>(n * interval));
            publish(*frame);
            const int64_t behind = (MediaClock::now() - start) / interval;
            n = std::max(n, behind);
        }
    }

    void runDevice(const std::string &path, const CameraParams &params, uint64_t seen)
    {
        V4l2Camera camera;
        if (!camera.open(path, params))
            return waitForChange(seen);
        QImage frame;
        while (!changed(seen)) {
            switch (camera.read(m_pool, &frame, kReadSliceMs)) {
            case V4l2Camera::Read::Frame:
                publish(frame);
                frame = QImage();
                break;
            case V4l2Camera::Read::Waiting:
                break;
            case V4l2Camera::Read::Lost:
                // Capture ends; the last frame stays on screen until the
                // item gets other settings.
                return waitForChange(seen);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;
    CameraSettings m_settings;
    uint64_t m_settingsSerial = 0;
    QImage m_latest;
    uint64_t m_frameSerial = 0;
    CameraFramePool m_pool; // capture thread only
    std::thread m_thread;   // last: starts once everything above exists
};

// The source keeps no QImage of a writable frame (else writing would copy
// it): the picture wraps these pixels and gives them back when its last copy
// goes. Whoever lets go last, picture or source, deletes the buffer.
struct CameraSource::WritableBuffer
{
    static constexpr int kInUse = 1;
    static constexpr int kOwnerGone = 2;

    explicit WritableBuffer(const QSize &s)
        : size(s), pixels(size_t(s.width()) * size_t(s.height()) * 4)
    {
    }

    static void released(void *info)
    {
        auto *buffer = static_cast<WritableBuffer *>(info);
        if (buffer->state.fetch_and(~kInUse) & kOwnerGone)
            delete buffer;
    }

    static void abandon(WritableBuffer *buffer)
    {
        if (buffer && !(buffer->state.fetch_or(kOwnerGone) & kInUse))
            delete buffer;
    }

    bool free() const { return !(state.load() & kInUse); }

    QSize size;
    std::vector<uchar> pixels;
    std::atomic<int> state{0};
};

CameraSource::CameraSource()
    : m_capture(std::make_unique<Capture>())
{
}

CameraSource::~CameraSource()
{
    WritableBuffer::abandon(m_writable);
}

void CameraSource::update(const SceneItem &item)
{
    m_capture->setSettings(CameraSettings{item.cameraDevice, item.cameraParams});
}

bool CameraSource::tick(MediaClock::time_point now)
{
    (void)now;
    return m_capture->takeNewer(&m_shownSerial, &m_current);
}

QImage CameraSource::picture() const
{
    return m_current;
}

uchar *CameraSource::filterablePixels()
{
    // No detach: the pool shares the pixels but neither reads nor writes them
    // while m_current holds them.
    return m_current.isNull() ? nullptr : const_cast<uchar *>(m_current.constBits());
}

QImage CameraSource::takeWritable()
{
    if (m_current.isNull())
        return QImage();
    const QSize size = m_current.size();
    if (!m_writable || m_writable->size != size || !m_writable->free()) {
        WritableBuffer::abandon(m_writable);
        m_writable = new WritableBuffer(size);
    }
    m_writable->state.fetch_or(WritableBuffer::kInUse);
    std::memcpy(m_writable->pixels.data(), m_current.constBits(), m_writable->pixels.size());
    return QImage(m_writable->pixels.data(), size.width(), size.height(), size.width() * 4, QImage::Format_RGB32,
                  &WritableBuffer::released, m_writable);
}

} // namespace castcore
