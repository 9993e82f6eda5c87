#pragma once

// What the engine benchmarks share: the full scene a user runs, built
// through the engine interface (the camera at a 1280x720 format it lists,
// with the program's beauty filter at the one-key levels, two pictures, a
// GIF, a scrolling subtitle, a text and a watermark-like custom capture) on
// the canvas of the clarity row a new user starts with; the process's and
// its children's CPU clocks; and `ffmpeg` encoding raw frames with the
// engine's x264 settings, the floor the engine is measured against.
// A scene that cannot be set up as asked is a failure, never a fall-back: the
// benchmark says why and the program exits non-zero.
// The scene needs a QGuiApplication (text items lay out fonts).

#include "CameraSettings.h"
#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "LiveEngine.h"
#include "LiveProxyVideoFilter.h"

#include <benchmark/benchmark.h>

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

namespace benchscene {

// The clarity row a new user starts with ("高清").
constexpr const ClarityPreset &kClarity = kClarityPresets[1];
constexpr int kWidth = kClarity.width;
constexpr int kHeight = kClarity.height;
constexpr int kFps = kClarity.frameRate;
constexpr int kBitRate = kClarity.bitrate * 1000;
// The camera page's one-key beauty ("一键美颜").
constexpr const BeautyPreset &kOneKeyBeauty = kBeautyPresets[1];
// Camera frames the beauty filter must have written before a scene counts
// as set up.
constexpr int kFilteredFramesAtSetUp = 10;

inline std::atomic<int> g_failures{0};

// Says on stderr why `benchmark` failed and ends it; the program's exit code
// tells (exitCode).
inline void failBenchmark(benchmark::State &state, const char *benchmark, const char *what, const std::string &why)
{
    std::fprintf(stderr, "%s: %s: %s\n", benchmark, what, why.c_str());
    g_failures.fetch_add(1);
    state.SkipWithError(why.c_str());
}

// The scene of `benchmark` could not be set up as asked.
inline void failSetUp(benchmark::State &state, const char *benchmark, const std::string &why)
{
    failBenchmark(state, benchmark, "SET-UP FAILED", why);
}

// The scene was set up and measured, but what the run made is not whole.
inline void failRun(benchmark::State &state, const char *benchmark, const std::string &why)
{
    failBenchmark(state, benchmark, "RUN FAILED", why);
}

// Non-zero when a benchmark failed its set-up or its run.
inline int exitCode()
{
    return g_failures.load() > 0 ? 1 : 0;
}

inline const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// Of a camera's listed formats, the one at width x height with the highest
// rate; null when none has that size.
inline const CameraFormat *listedFormat(const CameraFormat *formats, int count, int width, int height)
{
    const CameraFormat *best = nullptr;
    for (int i = 0; formats && i < count; ++i) {
        const CameraFormat &f = formats[i];
        if (f.width == width && f.height == height && (!best || f.fps > best->fps))
            best = &f;
    }
    return best;
}

inline std::string sizeText(int width, int height)
{
    return std::to_string(width) + "x" + std::to_string(height);
}

// Stands between the engine and an item's video filter: counts what the
// filter is given and what it writes.
class FilterProbe : public IVideoFilter
{
public:
    explicit FilterProbe(IVideoFilter *inner) : m_inner(inner) {}

    std::atomic<int> offered{0};
    std::atomic<int> written{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};

    bool Filter(int id, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        if (out) {
            width.store(out->width);
            height.store(out->height);
        }
        offered.fetch_add(1);
        const bool ok = m_inner->Filter(id, f0, f1, f2, out);
        if (ok)
            written.fetch_add(1);
        return ok;
    }
    void Free(std::uintptr_t a, std::uintptr_t b) override { m_inner->Free(a, b); }
    void DeviceLost(std::uintptr_t a) override { m_inner->DeviceLost(a); }

private:
    IVideoFilter *const m_inner;
};

// Whether the camera item gives frames at width x height and its filter (the
// beauty filter) writes them: a probe stands between them for at most 5 s,
// then the item's own filter is back. Empty when so, else what is wrong.
inline std::string checkCameraAndBeauty(ILiveScene *scene, int camera, int width, int height)
{
    castcore::CastCoreEngine *engine = castcore::control().engine();
    const std::optional<castcore::SceneItem> item = engine ? engine->item(camera) : std::nullopt;
    if (!item)
        return "the camera item " + std::to_string(camera) + " is not in the scene";
    if (!item->filter)
        return "the camera has no beauty filter";
    FilterProbe probe(item->filter);
    scene->SetItemVideoFilter(camera, &probe);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (probe.written.load() < kFilteredFramesAtSetUp && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    scene->SetItemVideoFilter(camera, item->filter);
    if (probe.offered.load() == 0)
        return "no camera frame reached the beauty filter within 5 s";
    if (probe.width.load() != width || probe.height.load() != height)
        return "the camera gives " + sizeText(probe.width.load(), probe.height.load()) + " frames, not "
               + sizeText(width, height);
    if (probe.written.load() < kFilteredFramesAtSetUp)
        return "the beauty filter wrote " + std::to_string(probe.written.load()) + " of "
               + std::to_string(probe.offered.load()) + " camera frames within 5 s";
    return std::string();
}

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// The calling thread's: a benchmark's own waiting, to leave out of the
// engine's cost.
inline double thisThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Of the children already waited for.
inline double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec
           + usage.ru_stime.tv_usec / 1e6;
}

// Runs `ffmpeg` on raw BGRA frames at the canvas size and rate (`input`
// holds the options before and including "-i"), encoding with the engine's
// x264 settings into `output` (MP4). Returns its CPU seconds, or < 0 when it
// failed or outlived `timeoutMs`.
inline double runX264Floor(const QStringList &input, const QString &output, int timeoutMs)
{
    const QString rate = QString::number(kBitRate);
    QStringList args{"-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                     QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), "-r", QString::number(kFps)};
    args << input
         << QStringList{"-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-pix_fmt", "yuv420p",
                        "-b:v", rate, "-maxrate", rate, "-bufsize", rate, "-g", QString::number(kFps * 2),
                        "-f", "mp4", output};
    const double before = childrenCpuSeconds();
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    if (!ffmpeg.waitForFinished(timeoutMs)) {
        ffmpeg.kill();
        ffmpeg.waitForFinished(5000);
        return -1;
    }
    if (ffmpeg.exitStatus() != QProcess::NormalExit || ffmpeg.exitCode() != 0)
        return -1;
    return childrenCpuSeconds() - before;
}

// Keeps what the engine reports about its push.
class PushListener : public ILiveListener
{
public:
    std::atomic<int> pushState{-1}; // -1 no answer yet, 0 refused or lost, 1 connected
    std::atomic<int64_t> droppedFrames{0};
    std::atomic<int> kbpsReports{0};
    std::atomic<double> kbpsSum{0};

    void OnReserved0(int, int) override {}
    void OnVideoFps(int) override {}
    void GetPushUrl(char *, int, int) override {}
    void OnPushState(const char *, bool connected, int) override { pushState.store(connected ? 1 : 0); }
    void OnReserved4(int, int, int) override {}
    void OnReserved5(int, int, int, int, int) override {}
    void OnReserved6(int, int, int) override {}
    void OnAudioLevel(int, int) override {}
    void OnKbps(float kbps) override
    {
        kbpsSum.store(kbpsSum.load() + kbps);
        kbpsReports.fetch_add(1);
    }
    void OnFrameDropped(int64_t total, int, float) override { droppedFrames.store(total); }
};

class Watermark : public ICustomCapture
{
public:
    bool GetFormat(CaptureFormat *f) override
    {
        *f = {200, 60, 200 * 60 * 4, 0};
        return true;
    }
    bool GetFrame(void *d, uint32_t size) override
    {
        std::memset(d, 0x80, size);
        return true;
    }
    bool QueryA(uint32_t) override { return false; }
    bool QueryB(uint32_t, uint32_t) override { return false; }
};

// The scrolling subtitle of the full scene, with the texts it points to.
struct Subtitle
{
    char16_t font[kTextFontNameUnits] = u"Sans";
    char16_t text[kTextTextUnits] = u"欢迎来到直播间 Welcome to the show";

    TextInfo info()
    {
        TextInfo info;
        info.mask = TextAllFields;
        info.fontName = font;
        info.text = text;
        info.size = 36;
        info.color = 0xffffffffu;
        info.opacity = 100;
        info.backgroundColor = 0xff2040c0u;
        info.backgroundOpacity = 80;
        info.scroll = 1;
        info.rollSpeed = 80;
        return info;
    }
};

// The engine side of the program's beauty filter, as the facade is.
class FilterOwner final : public VideoFilterOwner
{
public:
    explicit FilterOwner(ILiveEngine *engine) : m_engine(engine) {}

    void *renderDeviceHandle() override { return graphics() ? graphics()->GetDeviceHandle() : nullptr; }
    void *renderContextHandle() override { return graphics() ? graphics()->GetContextHandle() : nullptr; }
    void getItemSourceRect(int itemId, int *x, int *y, int *width, int *height) override
    {
        m_engine->GetScene()->GetItemSourceRect(itemId, x, y, width, height);
    }
    void setItemVideoFilter(int itemId, IVideoFilter *filter) override
    {
        m_engine->GetScene()->SetItemVideoFilter(itemId, filter);
    }

private:
    IRenderGraphics *graphics() const
    {
        IRenderDevice *render = m_engine->GetRenderDevice();
        return render ? render->GetGraphics() : nullptr;
    }

    ILiveEngine *const m_engine;
};

// The engine composing the full scene, without a preview window, from
// construction (sources settled, the scene checked) to destruction (shut
// down). error() says what could not be set up as asked.
class FullScene
{
public:
    FullScene()
    {
        m_engine.reset(CreateLiveInstance(&m_listener, 3, 0, 0, 0, 2));
        m_owner = std::make_unique<FilterOwner>(m_engine.get());
        m_beauty = std::make_unique<LiveProxyVideoFilter>(m_owner.get());
        ILiveScene *scene = m_engine->GetScene();
        m_scene = scene;
        LiveVideoConfig config;
        config.mode = -1;
        config.width = kWidth;
        config.height = kHeight;
        config.bitRate = kBitRate;
        config.frameRate = kFps;
        if (scene->Init(&config, 0) < 0) {
            fail("the engine did not start at " + sizeText(kWidth, kHeight));
            return;
        }

        const castcore::World world = castcore::control().world();
        if (world.cameras.empty()) {
            fail("the engine lists no camera");
            return;
        }
        const std::u16string device = world.cameras.front().name;
        m_camera = scene->OpenCamera(device.c_str(), 0, 0, 0, 0);
        if (m_camera <= 0) {
            fail("the camera did not open");
            return;
        }
        int count = 0;
        CameraFormat *formats = nullptr;
        scene->ListCameraFormats(device.c_str(), &count, &formats);
        const CameraFormat *format = listedFormat(formats, count, kWidth, kHeight);
        const CameraParams params = format ? CameraParams{format->colorFormat, format->width, format->height,
                                                          format->fps}
                                           : CameraParams{};
        if (formats)
            scene->FreeBuffer(formats);
        if (!format) {
            fail("the camera lists no " + sizeText(kWidth, kHeight) + " format");
            return;
        }
        if (!scene->SetCameraParams(m_camera, &params)) {
            fail("the camera refused its listed " + sizeText(kWidth, kHeight) + " format");
            return;
        }
        scene->SetItemRect(m_camera, 0, 0, kWidth, kHeight);
        m_beauty->setBlur(kOneKeyBeauty.blur);
        m_beauty->setWhitening(kOneKeyBeauty.whitening);
        m_beauty->setColourTemperature(kOneKeyBeauty.colour_temperature);
        m_beauty->attach(m_camera);

        const int a = scene->CreateItem(picture("a.png", Qt::red).toUtf8().constData(), 0, 0, 100, 100);
        const int b = scene->CreateItem(picture("b.png", Qt::green).toUtf8().constData(), 0, 0, 100, 100);
        const QString gif = m_dir.filePath(QStringLiteral("c.gif"));
        const int made =
            QProcess::execute(QStringLiteral("ffmpeg"), {"-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                                         "testsrc=size=160x120:rate=10:duration=2", gif});
        const int c = made == 0 ? scene->CreateItem(gif.toUtf8().constData(), 0, 0, 100, 100) : -1;
        if (a <= 0 || b <= 0 || c <= 0) {
            fail("the pictures were not added (PNG " + std::to_string(a) + ", " + std::to_string(b) + ", GIF "
                 + std::to_string(c) + ")");
            return;
        }
        scene->SetItemRect(a, 40, 40, 300, 200);
        scene->SetItemRect(b, 900, 40, 300, 200);
        scene->SetItemRect(c, 540, 300, 200, 150);
        Subtitle words;
        TextInfo info = words.info();
        const int subtitle = scene->CreateTextItem(&info, 0, 0);
        char16_t plainText[kTextTextUnits] = u"MorvaShow";
        info.text = plainText;
        info.scroll = 0;
        info.rollSpeed = 0;
        const int text = scene->CreateTextItem(&info, 0, 0);
        const int mark = scene->AddCustomCapture(&m_watermark);
        if (subtitle <= 0 || text <= 0 || mark <= 0) {
            fail("the texts or the watermark were not added (" + std::to_string(subtitle) + ", "
                 + std::to_string(text) + ", " + std::to_string(mark) + ")");
            return;
        }
        scene->SetItemRect(subtitle, 0, 640, kWidth, 60);
        scene->SetItemRect(text, 40, 560, 400, 60);
        scene->SetItemRect(mark, 1060, 20, 200, 60);

        // Let the pictures decode and the sources settle.
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const std::string camera = checkCameraAndBeauty(scene, m_camera, kWidth, kHeight);
        if (!camera.empty())
            fail(camera);
    }

    ~FullScene() { shutdown(); }

    FullScene(const FullScene &) = delete;
    FullScene &operator=(const FullScene &) = delete;

    // Empty when the scene is set up as asked.
    const std::string &error() const { return m_error; }
    ILiveScene *scene() const { return m_scene; }
    castcore::MediaEngine &media() { return static_cast<castcore::CastCoreEngine *>(m_engine.get())->media(); }
    castcore::Compositor &compositor() { return media().compositor(); }
    PushListener &listener() { return m_listener; }

    // Idempotent; the filter leaves before the engine stops.
    void shutdown()
    {
        if (!m_scene)
            return;
        if (m_camera > 0)
            m_beauty->detach();
        m_scene->Shutdown();
        m_scene = nullptr;
    }

private:
    void fail(const std::string &why)
    {
        if (m_error.empty())
            m_error = why;
    }

    QString picture(const char *name, QColor colour)
    {
        QImage img(400, 300, QImage::Format_ARGB32);
        img.fill(colour);
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        img.save(path, "PNG");
        return path;
    }

    // Declared first: they outlive the engine.
    QTemporaryDir m_dir;
    PushListener m_listener;
    Watermark m_watermark;
    std::unique_ptr<FilterOwner> m_owner;
    std::unique_ptr<LiveProxyVideoFilter> m_beauty;
    int m_camera = 0;
    std::string m_error;
    std::unique_ptr<ILiveEngine> m_engine;
    ILiveScene *m_scene = nullptr;
};

} // namespace benchscene
