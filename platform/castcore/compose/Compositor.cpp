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
#include <cstring>

namespace castcore {

namespace {

using Clock = std::chrono::steady_clock;

// A scene that stood still this long gives back the canvases it does not
// show; the next change makes one again.
constexpr std::chrono::seconds kSpareCanvasKept(2);

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
    m_frameRate.start(fps);
    m_lastComposed = now;
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
    // The last canvas stays readable (m_last); the ring goes.
    for (QImage &canvas : m_canvases)
        canvas = QImage();
    m_counts.canvases = 0;
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

Compositor::Counts Compositor::counts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counts;
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
    int drawn = -1;
    if (sized && (sourcesChanged || m_current < 0 || m_views != m_drawn
                  || m_canvases[m_current].size() != QSize(m_width, m_height)))
        drawn = draw();
    const bool composed = drawn >= 0;
    if (composed)
        m_lastComposed = now;
    else if (now - m_lastComposed >= kSpareCanvasKept)
        releaseSpareCanvases();

    const QImage canvas = m_current >= 0 && sized ? m_canvases[m_current] : QImage();
    const int64_t ptsUs = mediaNowUs();
    if (!canvas.isNull()) {
        if (sink)
            sink->onCanvas(canvas, ptsUs);
        if (preview)
            preview->show(canvas, m_events.overlay);
    }
    const int lastSecond = m_frameRate.add(m_pacer.index());
    if (lastSecond >= 0)
        report(lastSecond);

    const Clock::time_point next = m_pacer.next(Clock::now());
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!canvas.isNull())
            m_last = canvas;
        ++m_made;
        m_counts.made = m_made;
        if (composed) {
            ++m_counts.composed;
            m_counts.itemsDrawn += drawn;
        }
        m_counts.canvases = int(std::count_if(std::begin(m_canvases), std::end(m_canvases),
                                              [](const QImage &c) { return !c.isNull(); }));
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
        if (view.kind == KindCamera) {
            slot.filtering = Slot::Filtering::Due;
            slot.lastFrameRedrawn = slot.frameDraws > 1;
            slot.frameDraws = 0;
        }
    }
    return changed;
}

bool Compositor::runFilter(const ItemView &view, Slot &slot, uchar *target, size_t targetPitch, size_t targetBytes)
{
    auto *camera = static_cast<CameraSource *>(slot.source.get());
    const QImage frame = camera->picture();
    uchar *pixels = camera->filterablePixels();
    if (!view.filter || !pixels || frame.format() != QImage::Format_RGB32)
        return false;
    // The filter reads the frame itself, which nobody else reads, so no copy
    // is made for a filter that declines (as the beauty filter does at level
    // 0). It writes 32-bit pixels into the target, or in place (destination 0).
    const std::uintptr_t stride = std::uintptr_t(frame.bytesPerLine());
    PicturePlane out;
    out.format = 4;
    out.width = frame.width();
    out.height = frame.height();
    out.frame[0] = std::uintptr_t(target);
    out.frame[1] = target ? std::uintptr_t(targetPitch) : stride;
    out.frame[2] = target ? std::uintptr_t(targetBytes) : std::uintptr_t(frame.sizeInBytes());
    if (!view.filter->Filter(view.id, std::uintptr_t(pixels), stride, std::uintptr_t(frame.sizeInBytes()), &out)
        || out.frame[0] == 0 || out.frame[0] == std::uintptr_t(pixels))
        return false; // declined, or wrote the frame itself
    if (target && (out.width != frame.width() || out.height != frame.height()))
        return false; // part of the target at most: the frame is drawn over it as it is
    uchar *const into = target ? target : pixels;
    const size_t intoPitch = target ? targetPitch : size_t(stride);
    if (out.frame[0] != std::uintptr_t(into)) {
        // The filter wrote into a buffer of its own: copy it in while it is valid.
        const auto *theirs = reinterpret_cast<const uchar *>(out.frame[0]);
        const size_t row = size_t(frame.width()) * 4;
        if (out.frame[1] < row)
            return false;
        for (int y = 0; y < frame.height(); ++y)
            std::memcpy(into + size_t(y) * intoPitch, theirs + size_t(y) * out.frame[1], row);
    }
    return target != nullptr;
}

bool Compositor::filterIntoCanvas(const ItemView &view, Slot &slot, QImage &canvas)
{
    // A frame drawn more than once is better filtered in place once than
    // into every canvas it is drawn on.
    if (view.kind != KindCamera || slot.filtering != Slot::Filtering::Due || view.colorEffect != 0
        || slot.lastFrameRedrawn || !fillsPixelForPixel(view, slot.source->picture(), canvas.size()))
        return false;
    if (!runFilter(view, slot, canvas.bits(), size_t(canvas.bytesPerLine()), size_t(canvas.sizeInBytes()))) {
        slot.filtering = Slot::Filtering::Done; // the frame is drawn as it now is
        return false;
    }
    slot.filtering = Slot::Filtering::IntoCanvas;
    ++slot.frameDraws;
    return true;
}

void Compositor::filterInPlace(const ItemView &view, Slot &slot)
{
    if (view.kind != KindCamera)
        return;
    ++slot.frameDraws;
    if (slot.filtering != Slot::Filtering::Done)
        runFilter(view, slot, nullptr, 0, 0);
    slot.filtering = Slot::Filtering::Done;
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
    // A free slot first, so that a canvas someone holds is not let go of.
    int i = (m_current + 1) % 3;
    for (int k = 0; k < 3; ++k) {
        const int j = (m_current + 1 + k) % 3;
        if (j != m_current && m_canvases[j].isNull()) {
            i = j;
            break;
        }
    }
    m_canvases[i] = QImage(m_width, m_height, QImage::Format_ARGB32_Premultiplied);
    m_current = i;
    return m_canvases[i];
}

void Compositor::releaseSpareCanvases()
{
    for (int i = 0; i < 3; ++i) {
        if (i != m_current && !m_canvases[i].isNull() && m_canvases[i].isDetached())
            m_canvases[i] = QImage();
    }
}

int Compositor::draw()
{
    QImage &canvas = freeCanvas();
    if (canvas.isNull())
        return -1;
    m_order.clear();
    for (const ItemView &v : m_views)
        m_order.push_back(&v);
    // Ties in z keep the table's order (ids ascending).
    std::stable_sort(m_order.begin(), m_order.end(), [](const ItemView *a, const ItemView *b) { return a->z < b->z; });

    // What lies under the topmost opaque item that covers the canvas (a
    // camera over the background, say) cannot show: start there.
    const QRectF whole(0, 0, m_width, m_height);
    size_t first = m_order.size();
    while (first > 0) {
        const ItemView *v = m_order[first - 1];
        if (coversOpaquely(*v, m_slots[v->id].source->picture(), whole))
            break;
        --first;
    }
    if (first > 0)
        --first;
    else
        canvas.fill(0xff000000u);

    int drawn = 0;
    // A camera frame filtered straight into the canvas is not copied again.
    if (first < m_order.size() && filterIntoCanvas(*m_order[first], m_slots[m_order[first]->id], canvas)) {
        ++first;
        ++drawn;
    }
    QPainter painter(&canvas);
    for (size_t i = first; i < m_order.size(); ++i) {
        const ItemView *v = m_order[i];
        Slot &slot = m_slots[v->id];
        filterInPlace(*v, slot);
        QImage picture = slot.source->picture();
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
        ++drawn;
    }
    painter.end();
    m_drawn = m_views;
    return drawn;
}

void Compositor::report(int fps)
{
    int cpu = 0, memory = 0;
    m_stats.sample(&cpu, &memory);
    if (m_events.fps)
        m_events.fps(fps);
    if (m_events.performance)
        m_events.performance(cpu, memory);
}

} // namespace castcore
