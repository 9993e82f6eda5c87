#include "PictureSource.h"

#include "CallbackThread.h"
#include "PictureDecoder.h"

#include <QtGlobal>

#include <mutex>
#include <numeric>

namespace castcore {

struct PictureSource::Shared
{
    std::mutex mutex;
    bool closed = false;       // the source is gone
    unsigned long long wanted = 0; // the newest request; older jobs give up
    bool ready = false;
    PictureFrames result;
    // Rescaling reads the file again: a broken or over-long file says so
    // once, not at every resize.
    QString reportedFile;

    bool current(unsigned long long request)
    {
        std::lock_guard<std::mutex> lock(mutex);
        return !closed && wanted == request;
    }
};

PictureSource::PictureSource(mvplatform::CallbackThread &loader)
    : m_loader(loader)
    , m_shared(std::make_shared<Shared>())
{
}

PictureSource::~PictureSource()
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->closed = true;
}

void PictureSource::update(const SceneItem &item)
{
    const std::string file = item.sources.empty() ? std::string() : item.sources.front();
    if (file == m_file)
        return;
    m_file = file;
    // The old picture stays until the new one is decoded (or found broken).
    requestDecode();
}

void PictureSource::resize(const QSize &itemSize)
{
    const QSize size = itemSize.isValid() && !itemSize.isEmpty() ? itemSize : QSize();
    if (size == m_size)
        return;
    m_size = size;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        // Nothing to rescale in a file that could not be read.
        if (m_frames.empty() && !m_shared->ready && !m_file.empty()
            && m_shared->reportedFile == QString::fromStdString(m_file))
            return;
    }
    if (!m_file.empty())
        requestDecode();
}

void PictureSource::requestDecode()
{
    unsigned long long request;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        request = ++m_shared->wanted;
        m_shared->ready = false;
        m_shared->result = PictureFrames();
        if (m_file.empty()) {
            m_shared->ready = true; // an empty picture, at once
            return;
        }
    }
    // Only this job's own copies go to the loader.
    std::shared_ptr<Shared> shared = m_shared;
    const QString path = QString::fromStdString(m_file);
    const QSize size = PictureDecoder::boundedSize(m_size);
    m_loader.post([shared, request, path, size] { decodeJob(shared, request, path, size); });
}

void PictureSource::decodeJob(const std::shared_ptr<Shared> &shared, unsigned long long request, const QString &path,
                              const QSize &size)
{
    if (!shared->current(request))
        return;
    PictureFrames decoded = PictureDecoder::decodeFile(path, size, [&] { return shared->current(request); });
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (shared->closed || shared->wanted != request)
        return;
    const bool reported = shared->reportedFile == path;
    if (!decoded.error.isEmpty()) {
        if (!reported)
            warnPictureUnreadable(path, decoded.error);
        shared->reportedFile = path;
    } else if (decoded.framesDropped > 0) {
        if (!reported)
            qWarning("engine: picture frames capped: %s (kept %d of %d frames, %lld MB at most)",
                     qUtf8Printable(path), int(decoded.frames.size()),
                     int(decoded.frames.size()) + decoded.framesDropped,
                     PictureDecoder::kMaxFrameBytes / (1024 * 1024));
        shared->reportedFile = path;
    } else {
        shared->reportedFile.clear();
    }
    shared->result = std::move(decoded);
    shared->ready = true;
}

bool PictureSource::takeDecoded(MediaClock::time_point now)
{
    PictureFrames decoded;
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (!m_shared->ready)
            return false;
        m_shared->ready = false;
        decoded = std::move(m_shared->result);
        m_shared->result = PictureFrames();
    }
    const bool wasNull = m_picture.isNull();
    // A rescaled animation goes on at the frame it showed.
    const bool sameAnimation = decoded.frames.size() == m_frames.size() && m_frames.size() > 1
                               && decoded.delaysMs == m_delaysMs;
    m_frames = std::move(decoded.frames);
    m_delaysMs = std::move(decoded.delaysMs);
    m_cycleMs = std::accumulate(m_delaysMs.begin(), m_delaysMs.end(), 0);
    if (m_frames.empty()) {
        m_index = 0;
        m_picture = QImage();
        return !wasNull;
    }
    if (!sameAnimation) {
        m_index = 0;
        m_frameEnd = now + std::chrono::milliseconds(m_delaysMs.front());
    }
    m_picture = m_frames[m_index];
    return true;
}

bool PictureSource::advanceAnimation(MediaClock::time_point now)
{
    if (m_frames.size() < 2 || m_cycleMs <= 0 || now < m_frameEnd)
        return false;
    // After a long stall skip whole cycles instead of walking through them.
    const auto cycle = std::chrono::milliseconds(m_cycleMs);
    if (now - m_frameEnd >= cycle)
        m_frameEnd += cycle * ((now - m_frameEnd) / cycle);
    const std::size_t before = m_index;
    while (now >= m_frameEnd) {
        m_index = (m_index + 1) % m_frames.size();
        m_frameEnd += std::chrono::milliseconds(m_delaysMs[m_index]);
    }
    if (m_index == before)
        return false;
    m_picture = m_frames[m_index];
    return true;
}

bool PictureSource::tick(MediaClock::time_point now)
{
    const bool taken = takeDecoded(now);
    const bool advanced = advanceAnimation(now);
    return taken || advanced;
}

QImage PictureSource::picture() const
{
    return m_picture;
}

} // namespace castcore
