#pragma once

#include "FaceTone.h"
#include "LiveEngine.h"

#include <atomic>
#include <cstdint>
#include <mutex>

// What the beauty filter asks of the facade that owns it. The names are the
// facade's own operations, so the facade can implement this directly.
class VideoFilterOwner
{
public:
    // Tokens of the engine's graphics device and device context.
    virtual void *renderDeviceHandle() = 0;
    virtual void *renderContextHandle() = 0;
    // The item's own source size; the outputs arrive zeroed and may stay so.
    virtual void getItemSourceRect(int itemId, int *x, int *y, int *width, int *height) = 0;
    // Attaches the filter to the item in the scene; null detaches.
    virtual void setItemVideoFilter(int itemId, IVideoFilter *filter) = 0;

protected:
    ~VideoFilterOwner() = default;
};

// The beauty filter of the camera picture. The engine calls Filter, Free and
// DeviceLost on its video thread; the level setters, attach and detach run on
// the GUI thread. The FaceTone handle is created on the first frame that
// needs it; one mutex covers its creation, every use and its release, so a
// detach never ends a handle that a frame is still using and no two handles
// ever live at once.
class LiveProxyVideoFilter : public IVideoFilter
{
public:
    explicit LiveProxyVideoFilter(VideoFilterOwner *owner);
    ~LiveProxyVideoFilter() override;

    LiveProxyVideoFilter(const LiveProxyVideoFilter &) = delete;
    LiveProxyVideoFilter &operator=(const LiveProxyVideoFilter &) = delete;

    // True when `out` now holds the filtered picture; false leaves the frame
    // to the engine unfiltered (all levels 0, nothing attached, no handle).
    bool Filter(int itemId, std::uintptr_t frame0, std::uintptr_t frame1, std::uintptr_t frame2,
                PicturePlane *out) override;
    void Free(std::uintptr_t a, std::uintptr_t b) override;
    void DeviceLost(std::uintptr_t a) override;

    // Levels as the beauty panel sets them (handed to FaceTone divided by 10).
    void setBlur(int level);
    void setWhitening(int level);
    void setColourTemperature(int level);

    // Hooks the filter onto the item's frames (logs the attach line).
    void attach(int itemId);
    // The attached item, -1 when none.
    int attachedItem() const;
    // Unhooks it from the attached item and ends the FaceTone handle.
    void detach();

private:
    // Callers hold m_handleMutex.
    void releaseHandleLocked();

    VideoFilterOwner *m_owner;
    std::atomic<int> m_blur{0};
    std::atomic<int> m_whitening{0};
    std::atomic<int> m_colourTemperature{0};
    const int m_enabled = 1;

    mutable std::mutex m_handleMutex;
    ImageFilterHandle m_handle = nullptr; // guarded by m_handleMutex
    // Written under m_handleMutex, so a frame that holds the mutex sees a
    // detach either wholly before or wholly after it.
    std::atomic<int> m_attachedItem{-1};
};

// Writes a top-down 24-bit BMP of `pixels` (rows padded to 4 bytes, as the
// file stores them). 0 on success, -1 when the file cannot be written or the
// input is unusable. A debugging aid for filtered frames.
int writeBmpFile(const char *path, const void *pixels, int width, int height);
