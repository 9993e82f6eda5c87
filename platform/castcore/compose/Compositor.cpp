#include "Compositor.h"

#include "ItemPainter.h"
#include "MediaSinks.h"
#include "SceneState.h"
#include "preview/PreviewOutput.h"
#include "sources/CameraSource.h"
#include "sources/CustomCaptureSource.h"
#include "sources/PictureSource.h"
#include "sources/ScreenSource.h"
#include "sources/TextSource.h"

#include "CallbackThread.h"

#include <QPainter>

#include <algorithm>

namespace castcore {

namespace {

using Clock = std::chrono::steady_clock;

// Canvases of a larger size are refused: nothing sane asks for them, and a
// hand-edited config must not make the video thread allocate gigabytes.
constexpr int kMaxCanvasSide = 8192;

std::unique_ptr<MediaSource> makeSource(int kind, mvplatform::CallbackThread &loader)
{
    switch (kind) {
    case KindPicture:
    case KindOverlayFile:
        return std::make_unique<PictureSource>(loader);
    case KindText:
        return std::make_unique<TextSource>();
    case KindCamera:
        return std::make_unique<CameraSource>();
    case KindScreenCapture:
        return std::make_unique<ScreenSource>();
    case KindCustomCapture:
        return std::make_unique<CustomCaptureSource>();
    default:
        return std::make_unique<EmptySource>(); // plug-ins draw nothing of their own here
    }
}

} // namespace

Compositor::Compositor(SceneState &state, mvplatform::CallbackThread &video, mvplatform::CallbackThread &loader,
                       CompositorEvents events)
    : m_state(state)
    , m_video(video)
    , m_loader(loader)
    , m_events(std::move(events))
{
}

Compositor::~Compositor()
{
    stop();
}

void Compositor::start(int fps)
{
    const Clock::time_point now = Clock::now();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = true;
    }
    // The pacer belongs to the video thread: set it there, before the first tick.
    m_video.clearTicker();
    m_pacer.start(now, fps);
    m_secondStart = now;
    m_framesThisSecond = 0;
    m_video.setTicker([this](Clock::time_point t) { return tick(t); }, now);
}

void Compositor::stop()
{
    m_video.clearTicker();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    // No tick runs any more: the video thread's state may go here.
    m_slots.clear();
    m_views.clear();
    m_drawn.clear();
    m_current = -1;
}

bool Compositor::running() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

void Compositor::setPreview(PreviewOutput *preview)
{
    quiesce();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_preview = preview;
}

void Compositor::setSink(VideoSink *sink)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_sink = sink;
}

void Compositor::quiesce()
{
    if (std::this_thread::get_id() == m_video.id())
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t seen = m_ticksDone;
    m_tickDone.wait(lock, [&] { return !m_inTick || m_ticksDone != seen; });
}

QImage Compositor::lastCanvas() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}

int64_t Compositor::framesMade() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_made;
}

int64_t Compositor::framesLagged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_lagged;
}

Clock::time_point Compositor::tick(Clock::time_point now)
{
    PreviewOutput *preview = nullptr;
    VideoSink *sink = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_inTick = true;
        preview = m_preview;
        sink = m_sink;
    }

    takeSnapshot();
    const bool sourcesChanged = syncSources(now);
    const bool sized = m_width > 0 && m_height > 0;
    if (sized && (sourcesChanged || m_current < 0 || m_views != m_drawn
                  || m_canvases[m_current].size() != QSize(m_width, m_height)))
        draw();

    const QImage canvas = m_current >= 0 && sized ? m_canvases[m_current] : QImage();
    const int64_t ptsUs = mediaNowUs();
    if (!canvas.isNull()) {
        if (sink)
            sink->onCanvas(canvas, ptsUs);
        if (preview)
            preview->show(canvas, m_events.overlay);
    }
    ++m_framesThisSecond;
    report(now);

    const Clock::time_point next = m_pacer.next(Clock::now());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!canvas.isNull())
            m_last = canvas;
        ++m_made;
        m_lagged = m_pacer.lagged();
        m_inTick = false;
        ++m_ticksDone;
    }
    m_tickDone.notify_all();
    return next;
}

void Compositor::takeSnapshot()
{
    m_views.clear();
    m_changed.clear();
    std::lock_guard<std::mutex> lock(m_state.mutex);
    m_width = m_state.canvasWidth;
    m_height = m_state.canvasHeight;
    if (m_width > kMaxCanvasSide || m_height > kMaxCanvasSide)
        m_width = m_height = 0;
    for (const auto &kv : m_state.items) {
        const SceneItem &item = kv.second;
        m_views.push_back(ItemView::of(item));
        auto slot = m_slots.find(item.id);
        if (slot == m_slots.end() || slot->second.revision != item.revision)
            m_changed.push_back(item); // copied only when its settings changed
    }
}

bool Compositor::syncSources(Clock::time_point now)
{
    bool changed = false;
    // Items that left the table take their sources with them.
    for (auto it = m_slots.begin(); it != m_slots.end();) {
        const bool kept = std::any_of(m_views.begin(), m_views.end(), [&](const ItemView &v) { return v.id == it->first; });
        if (kept) {
            ++it;
        } else {
            it = m_slots.erase(it);
            changed = true;
        }
    }
    for (const SceneItem &item : m_changed) {
        Slot &slot = m_slots[item.id];
        if (!slot.source)
            slot.source = makeSource(item.kind, m_loader);
        slot.source->update(item);
        slot.revision = item.revision;
        slot.tintStale = true;
        changed = true;
    }
    for (const ItemView &view : m_views) {
        Slot &slot = m_slots[view.id];
        if (view.width != slot.width || view.height != slot.height) {
            slot.width = view.width;
            slot.height = view.height;
            slot.source->resize(QSize(view.width, view.height));
        }
        if (!slot.source->tick(now))
            continue;
        changed = true;
        slot.tintStale = true;
        if (view.kind == KindCamera)
            slot.useFiltered = filterCamera(view, slot);
    }
    return changed;
}

bool Compositor::filterCamera(const ItemView &view, Slot &slot)
{
    if (!view.filter)
        return false;
    auto *camera = static_cast<CameraSource *>(slot.source.get());
    QImage frame = camera->takeWritable();
    if (frame.isNull() || frame.format() != QImage::Format_RGB32)
        return false;
    // The filter reads and writes 32-bit pixels in place (destination 0).
    PicturePlane out;
    out.format = 4;
    out.width = frame.width();
    out.height = frame.height();
    out.frame[0] = 0;
    out.frame[1] = std::uintptr_t(frame.bytesPerLine());
    out.frame[2] = std::uintptr_t(frame.sizeInBytes());
    const bool filtered = view.filter->Filter(view.id, std::uintptr_t(frame.bits()), std::uintptr_t(frame.bytesPerLine()),
                                              std::uintptr_t(frame.sizeInBytes()), &out);
    if (!filtered)
        return false;
    if (out.frame[0] != 0 && out.frame[0] != std::uintptr_t(frame.constBits())) {
        // The filter wrote into a buffer of its own: copy it out while it is valid.
        const QImage theirs(reinterpret_cast<const uchar *>(out.frame[0]), frame.width(), frame.height(),
                            int(out.frame[1]), QImage::Format_RGB32);
        frame = theirs.copy();
    }
    slot.filtered = frame;
    return true;
}

QImage &Compositor::freeCanvas()
{
    // A canvas the preview or the encoder still holds is never drawn over.
    for (int i = 0; i < 3; ++i) {
        QImage &c = m_canvases[i];
        if (i != m_current && c.size() == QSize(m_width, m_height) && c.isDetached()) {
            m_current = i;
            return c;
        }
    }
    const int i = (m_current + 1) % 3;
    m_canvases[i] = QImage(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
    m_current = i;
    return m_canvases[i];
}

void Compositor::draw()
{
    QImage &canvas = freeCanvas();
    if (canvas.isNull())
        return;
    canvas.fill(0xff000000u);
    m_order.clear();
    for (const ItemView &v : m_views)
        m_order.push_back(&v);
    // Ties in z keep the table's order (ids ascending).
    std::stable_sort(m_order.begin(), m_order.end(), [](const ItemView *a, const ItemView *b) { return a->z < b->z; });

    QPainter painter(&canvas);
    for (const ItemView *v : m_order) {
        Slot &slot = m_slots[v->id];
        QImage picture = slot.useFiltered && v->filter ? slot.filtered : slot.source->picture();
        if (picture.isNull())
            continue;
        if (v->colorEffect != 0) {
            if (slot.tintStale) {
                tintPicture(picture, v->colorEffect, slot.tinted);
                slot.tintStale = false;
            }
            picture = slot.tinted;
        }
        drawItem(painter, *v, picture);
    }
    painter.end();
    m_drawn = m_views;
}

void Compositor::report(Clock::time_point now)
{
    if (now - m_secondStart < std::chrono::seconds(1))
        return;
    const int fps = m_framesThisSecond;
    m_framesThisSecond = 0;
    m_secondStart = now;
    int cpu = 0, memory = 0;
    m_stats.sample(&cpu, &memory);
    if (m_events.fps)
        m_events.fps(fps);
    if (m_events.performance)
        m_events.performance(cpu, memory);
}

} // namespace castcore
