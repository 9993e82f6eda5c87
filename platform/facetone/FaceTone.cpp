#include "FaceTone.h"

#include "LiveEngine.h"
#include "SkinFilter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <climits>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

struct FaceToneFilter
{
    int serial = 0;
    void *device = nullptr;
    void *context = nullptr;
    std::mutex mutex; // one picture at a time; guards the fields below
    std::map<int, int> values;
    std::vector<uint8_t> work; // copy of a source that shares memory with its destination
};

namespace facetone {
namespace {

constexpr int kSourceFormat = 0;
constexpr int kDestinationFormat = 4;
constexpr int kMaxSide = 16384;

struct State
{
    std::mutex mutex;
    std::map<FaceToneFilter *, std::shared_ptr<FaceToneFilter>> live;
    int nextSerial = 1;
    mvplatform::Countdown failInits;
    mvplatform::Script<int> results;
    mvplatform::CallLog log;
    mvplatform::Gates gates;
    mvplatform::Activity activity;
};

State &state()
{
    static State s;
    return s;
}

// A filter stays alive while a call uses it, even if another thread ends it.
std::shared_ptr<FaceToneFilter> find(ImageFilterHandle h)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.live.find(h);
    return it == s.live.end() ? nullptr : it->second;
}

std::string pointerArg(const void *p)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%p", p);
    return p ? std::string(buf) : std::string("null");
}

// A plane read through the frame words.
struct Picture
{
    uint8_t *pixels = nullptr;
    int pitch = 0;
};

Picture pictureOf(const PicturePlane &p)
{
    return Picture{reinterpret_cast<uint8_t *>(p.frame[0]), int(p.frame[1])};
}

// Whether two planes of the same size share any byte.
bool overlap(const Picture &a, const Picture &b, int height, size_t rowBytes)
{
    const auto begin = [](const Picture &p) { return reinterpret_cast<std::uintptr_t>(p.pixels); };
    const auto end = [&](const Picture &p) { return begin(p) + size_t(p.pitch) * size_t(height - 1) + rowBytes; };
    return begin(a) < end(b) && begin(b) < end(a);
}

bool validPlane(const PicturePlane &p, bool pixelsRequired)
{
    if (p.format != kSourceFormat && p.format != kDestinationFormat)
        return false;
    if (p.width <= 0 || p.height <= 0 || p.width > kMaxSide || p.height > kMaxSide)
        return false;
    if (!p.frame[0])
        return !pixelsRequired;
    const uint64_t rowBytes = uint64_t(p.width) * 4;
    const uint64_t pitch = p.frame[1], size = p.frame[2];
    return pitch >= rowBytes && pitch <= uint64_t(INT_MAX) && size >= pitch * uint64_t(p.height - 1) + rowBytes;
}

double strength(float level, float range)
{
    const double s = double(level) / double(range);
    return std::isfinite(s) ? std::clamp(s, 0.0, 1.0) : 0.0;
}

bool validParams(const FilterParams &p)
{
    return p.size == int(sizeof(FilterParams)) && std::isfinite(p.range) && p.range > 0;
}

int filter(FaceToneFilter &f, const PicturePlane &src, const FilterParams &params, PicturePlane &dst)
{
    SkinLevels levels;
    if (params.enabled) {
        levels.smoothing = strength(params.smoothing, params.range);
        levels.whitening = strength(params.whitening, params.range);
        levels.warmth = strength(params.colourTemperature, params.range);
    }
    const Picture in = pictureOf(src), target = dst.frame[0] ? pictureOf(dst) : in;
    const size_t rowBytes = size_t(src.width) * 4;
    std::lock_guard<std::mutex> lock(f.mutex);
    // The same rows, or rows apart, are filtered as they are; planes that
    // share memory otherwise read from a copy of the source.
    if (target.pixels == in.pixels ? target.pitch == in.pitch : !overlap(in, target, src.height, rowBytes)) {
        filterSkin(in.pixels, in.pitch, src.width, src.height, target.pixels, target.pitch, levels);
        return 1;
    }
    f.work.resize(rowBytes * size_t(src.height));
    for (int y = 0; y < src.height; ++y)
        std::memcpy(f.work.data() + size_t(y) * rowBytes, in.pixels + size_t(y) * size_t(in.pitch), rowBytes);
    filterSkin(f.work.data(), int(rowBytes), src.width, src.height, target.pixels, target.pitch, levels);
    return 1;
}

// The filter's per-frame buffer goes; the filter stays usable.
void dropWork(ImageFilterHandle h)
{
    if (const auto f = find(h)) {
        std::lock_guard<std::mutex> lock(f->mutex);
        std::vector<uint8_t>().swap(f->work);
    }
}

std::string handleArgLocked(State &s, ImageFilterHandle h)
{
    if (!h)
        return "null";
    auto it = s.live.find(h);
    return it == s.live.end() ? "unknown" : "#" + std::to_string(it->second->serial);
}

} // namespace

void reset()
{
    State &s = state();
    s.results.clear();
    s.gates.openAll();
    s.log.clear();
    s.failInits.set(0);
}

void failNextInits(int n)
{
    state().failInits.set(n);
}

void scriptFilterResult(int result)
{
    state().results.push("ImageFilterFilterPicture", result);
}

int liveHandles()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.live.size());
}

std::optional<int> value(ImageFilterHandle h, int id)
{
    const auto f = find(h);
    if (!f)
        return std::nullopt;
    std::lock_guard<std::mutex> lock(f->mutex);
    auto it = f->values.find(id);
    return it == f->values.end() ? std::nullopt : std::optional<int>(it->second);
}

std::string handleArg(ImageFilterHandle h)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return handleArgLocked(s, h);
}

mvplatform::Gates &gates()
{
    return state().gates;
}

bool waitIdle(int timeoutMs)
{
    return state().activity.waitIdle(timeoutMs);
}

const mvplatform::CallLog &callLog()
{
    return state().log;
}

} // namespace facetone

using facetone::handleArg;
using mvplatform::toArg;

ImageFilterHandle ImageFilterInit(void *device, void *context)
{
    auto &s = facetone::state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterInit");
    ImageFilterHandle handle = nullptr;
    if (!s.failInits.take()) {
        auto f = std::make_shared<FaceToneFilter>();
        f->device = device;
        f->context = context;
        handle = f.get();
        std::lock_guard<std::mutex> lock(s.mutex);
        f->serial = s.nextSerial++;
        s.live.emplace(handle, std::move(f));
    }
    s.log.record("ImageFilterInit",
                 {facetone::pointerArg(device), facetone::pointerArg(context), handleArg(handle)});
    return handle;
}

int ImageFilterSetValue(ImageFilterHandle filter, int id, const void *value, int size)
{
    auto &s = facetone::state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterSetValue");
    const auto f = facetone::find(filter);
    int result = 0;
    std::string valueArg = "-";
    if (value && size == int(sizeof(int))) {
        int v = 0;
        std::memcpy(&v, value, sizeof v);
        valueArg = toArg(v);
        if (f) {
            std::lock_guard<std::mutex> lock(f->mutex);
            f->values[id] = v;
            result = 1;
        }
    }
    s.log.record("ImageFilterSetValue", {handleArg(filter), toArg(id), valueArg, toArg(size), toArg(result)});
    return result;
}

int ImageFilterFilterPicture(ImageFilterHandle filter, const PicturePlane *source,
                             const FilterParams *params, PicturePlane *destination)
{
    auto &s = facetone::state();
    // Found before the gate: a filter ended while its picture is held stays
    // alive for that picture.
    const auto f = facetone::find(filter);
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterFilterPicture");

    int result = 0;
    if (const std::optional<int> scripted = s.results.take("ImageFilterFilterPicture")) {
        result = *scripted;
    } else if (f && source && params && destination && facetone::validPlane(*source, true)
               && facetone::validPlane(*destination, false) && destination->width == source->width
               && destination->height == source->height && facetone::validParams(*params)) {
        result = facetone::filter(*f, *source, *params, *destination);
    }
    // The entry is built only while calls are recorded: this runs for every
    // camera frame.
    if (mvplatform::CallLog::recording()) {
        std::vector<std::string> args{handleArg(filter)};
        auto planeArgs = [&](const PicturePlane *p, bool withPitch) {
            args.push_back(p ? toArg(p->format) : "-");
            args.push_back(p ? toArg(p->width) : "-");
            args.push_back(p ? toArg(p->height) : "-");
            if (withPitch)
                args.push_back(p ? toArg(p->frame[1]) : "-");
        };
        planeArgs(source, true);
        if (params) {
            for (const std::string &a : {toArg(params->reserved), toArg(params->size), toArg(params->smoothing),
                                         toArg(params->colourTemperature), toArg(params->range),
                                         toArg(params->whitening), toArg(params->enabled)})
                args.push_back(a);
        } else {
            args.insert(args.end(), 7, "-");
        }
        planeArgs(destination, false);
        args.push_back(toArg(result));
        s.log.record("ImageFilterFilterPicture", std::move(args));
    }
    return result;
}

void ImageFilterFree(ImageFilterHandle filter, std::uintptr_t b)
{
    auto &s = facetone::state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterFree");
    facetone::dropWork(filter);
    s.log.record("ImageFilterFree", {handleArg(filter), toArg(b)});
}

void ImageFilterHandleDeviceLost(ImageFilterHandle filter, std::uintptr_t a)
{
    auto &s = facetone::state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterHandleDeviceLost");
    facetone::dropWork(filter);
    s.log.record("ImageFilterHandleDeviceLost", {handleArg(filter), toArg(a)});
}

void ImageFilterUninit(ImageFilterHandle filter)
{
    auto &s = facetone::state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "ImageFilterUninit");
    std::shared_ptr<FaceToneFilter> ended;
    std::string arg;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        arg = facetone::handleArgLocked(s, filter);
        auto it = s.live.find(filter);
        if (it != s.live.end()) {
            ended = std::move(it->second);
            s.live.erase(it);
        }
    }
    s.log.record("ImageFilterUninit", {arg});
    // A picture still being filtered on another thread keeps its own reference.
}
