#pragma once

// The video thread's frame clock: at the canvas rate it takes a snapshot of
// the item table (a short lock, no drawing under it), lets every source take
// its newest content, runs new camera frames through their item's video
// filter, draws the items in ascending z into one premultiplied canvas, and
// hands the canvas to the preview and the sink. An unchanged scene is not
// drawn again; its canvas is handed on as it is. Items hidden under an
// opaque one that covers the canvas are not drawn at all.

#include "FramePacer.h"
#include "FrameRateCounter.h"
#include "ItemView.h"
#include "ProcessStats.h"

#include <QImage>

#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class QPainter;

namespace mvplatform {
class CallbackThread;
}

namespace castcore {

class MediaSource;
class PreviewOutput;
class SceneState;
class VideoSink;
struct SceneItem;

struct CompositorEvents
{
    std::function<void(int fps)> fps;                      // once a second
    std::function<void(int cpu, int memory)> performance;  // once a second
    std::function<void(QPainter *painter)> overlay;        // each preview frame
};

class Compositor
{
public:
    Compositor(SceneState &state, mvplatform::CallbackThread &video, mvplatform::CallbackThread &loader,
               CompositorEvents events);
    ~Compositor();

    // Starts the frame clock, or restarts it at another rate.
    void start(int fps);
    // After it returns no frame is being made or will be; sources are released.
    void stop();
    bool running() const;
    void setPreview(PreviewOutput *preview);
    void setSink(VideoSink *sink);
    // Returns once no frame that began before the call is still being made,
    // so the caller may drop what the old snapshot pointed to (filters,
    // capture sources). At once on the video thread.
    void quiesce();

    QImage lastCanvas() const;
    int64_t framesMade() const;
    int64_t framesLagged() const;

    // What the frame clock did so far, read at once.
    struct Counts
    {
        int64_t made = 0;       // frames handed on, one per tick
        int64_t composed = 0;   // of them drawn anew
        int64_t itemsDrawn = 0; // items drawn onto those (hidden ones are not)
        int canvases = 0;       // canvases allocated now
    };
    Counts counts() const;

private:
    struct Slot
    {
        std::unique_ptr<MediaSource> source;
        uint64_t revision = 0;
        int width = 0;
        int height = 0;
        QImage tinted;
        bool tintStale = true;
        // A camera's frame and its item's filter: whether the filter still
        // has to see the frame, or wrote it into the canvas only (the frame
        // itself unfiltered); how often the frame was drawn, and whether
        // the one before was drawn more than once.
        enum class Filtering { Done, Due, IntoCanvas };
        Filtering filtering = Filtering::Done;
        int frameDraws = 0;
        bool lastFrameRedrawn = false;
    };

    std::chrono::steady_clock::time_point tick(std::chrono::steady_clock::time_point now);
    void takeSnapshot();
    bool syncSources(std::chrono::steady_clock::time_point now);
    // Runs the item's filter over the camera's frame, into `target` (a
    // buffer of the frame's size) or, with none, in place. True when the
    // target holds the whole filtered frame; otherwise the frame is to be
    // drawn as it now is.
    bool runFilter(const ItemView &view, Slot &slot, uchar *target, size_t targetPitch, size_t targetBytes);
    // A due camera frame that fills the canvas pixel for pixel is filtered
    // straight into it; true when the canvas holds it.
    bool filterIntoCanvas(const ItemView &view, Slot &slot, QImage &canvas);
    // As a camera frame is drawn: makes the frame itself the filtered one,
    // if it is not yet, and counts the draw.
    void filterInPlace(const ItemView &view, Slot &slot);
    // The number of items drawn; -1 when there was no canvas to draw on.
    int draw();
    QImage &freeCanvas();
    void releaseSpareCanvases();
    // Once a second of the frame clock, with the frames that second had.
    void report(int fps);

    SceneState &m_state;
    mvplatform::CallbackThread &m_video;
    mvplatform::CallbackThread &m_loader;
    CompositorEvents m_events;

    // Video thread only.
    FramePacer m_pacer;
    std::vector<ItemView> m_views;
    std::vector<ItemView> m_drawn; // what the current canvas shows
    std::vector<SceneItem> m_changed;
    std::vector<const ItemView *> m_order;
    std::map<int, Slot> m_slots;
    QImage m_canvases[3];
    int m_current = -1;
    std::chrono::steady_clock::time_point m_lastComposed;
    int m_width = 0;
    int m_height = 0;
    FrameRateCounter m_frameRate;
    ProcessStats m_stats;

    mutable std::mutex m_mutex;
    std::condition_variable m_tickDone;
    bool m_running = false;
    bool m_inTick = false;
    uint64_t m_ticksDone = 0;
    QImage m_last;
    int64_t m_made = 0;
    int64_t m_lagged = 0;
    Counts m_counts;
    PreviewOutput *m_preview = nullptr;
    VideoSink *m_sink = nullptr;
};

} // namespace castcore
