#pragma once

// What the engine benchmarks share: the full 1280x720, 25 fps scene built
// through the engine interface (a camera with beauty, two pictures, a GIF, a
// scrolling subtitle, a text and a watermark-like custom capture), the
// process's and its children's CPU clocks, and `ffmpeg` encoding raw frames
// with the engine's x264 settings, the floor the engine is measured against.
// The scene needs a QGuiApplication (text items lay out fonts).

#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "FaceTone.h"
#include "LiveEngine.h"

#include <QImage>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>

namespace benchscene {

constexpr int kWidth = 1280;
constexpr int kHeight = 720;
constexpr int kFps = 25;
constexpr int kBitRate = 2500000;

inline double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
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
    QStringList args{"-nostdin", "-loglevel", "error", "-y", "-f", "rawvideo", "-pix_fmt", "bgra", "-s",
                     QStringLiteral("%1x%2").arg(kWidth).arg(kHeight), "-r", QString::number(kFps)};
    args << input
         << QStringList{"-c:v", "libx264", "-preset", "veryfast", "-tune", "zerolatency", "-pix_fmt", "yuv420p",
                        "-b:v", "2500k", "-maxrate", "2500k", "-bufsize", "2500k", "-g", QString::number(kFps * 2),
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

// Beauty as the facade applies it: the skin filter in place.
class Beauty : public IVideoFilter
{
public:
    ImageFilterHandle handle = ImageFilterInit(nullptr, nullptr);
    ~Beauty() override { ImageFilterUninit(handle); }
    bool Filter(int, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        PicturePlane source;
        source.width = out->width;
        source.height = out->height;
        source.frame[0] = f0;
        source.frame[1] = f1;
        source.frame[2] = f2;
        const FilterParams params{0, int(sizeof(FilterParams)), 7.0f, 3.0f, 10.0f, 5.0f, 1};
        return ImageFilterFilterPicture(handle, &source, &params, out) != 0;
    }
    void Free(std::uintptr_t, std::uintptr_t) override {}
    void DeviceLost(std::uintptr_t) override {}
};

// The engine composing the full scene, without a preview window, from
// construction (sources settled) to destruction (shut down).
class FullScene
{
public:
    FullScene()
    {
        m_engine.reset(CreateLiveInstance(&m_listener, 3, 0, 0, 0, 2));
        ILiveScene *scene = m_engine->GetScene();
        m_scene = scene;
        LiveVideoConfig config;
        config.mode = -1;
        config.width = kWidth;
        config.height = kHeight;
        config.bitRate = kBitRate;
        config.frameRate = kFps;
        scene->Init(&config, 0);

        const castcore::World world = castcore::control().world();
        CameraParams params{0, kWidth, kHeight, kFps};
        m_camera = scene->OpenCamera(world.cameras.front().name.c_str(), 0, 0, 0, 0);
        scene->SetCameraParams(m_camera, &params);
        scene->SetItemRect(m_camera, 0, 0, kWidth, kHeight);
        scene->SetItemVideoFilter(m_camera, &m_beauty);
        const int a = scene->CreateItem(picture("a.png", Qt::red).toUtf8().constData(), 0, 0, 100, 100);
        scene->SetItemRect(a, 40, 40, 300, 200);
        const int b = scene->CreateItem(picture("b.png", Qt::green).toUtf8().constData(), 0, 0, 100, 100);
        scene->SetItemRect(b, 900, 40, 300, 200);
        const QString gif = m_dir.filePath(QStringLiteral("c.gif"));
        QProcess::execute(QStringLiteral("ffmpeg"),
                          {"-loglevel", "error", "-y", "-f", "lavfi", "-i", "testsrc=size=160x120:rate=10:duration=2",
                           gif});
        const int c = scene->CreateItem(gif.toUtf8().constData(), 0, 0, 100, 100);
        scene->SetItemRect(c, 540, 300, 200, 150);
        char16_t font[kTextFontNameUnits] = u"Sans";
        char16_t subtitleText[kTextTextUnits] = u"欢迎来到直播间 Welcome to the show";
        TextInfo info;
        info.mask = TextAllFields;
        info.fontName = font;
        info.text = subtitleText;
        info.size = 36;
        info.color = 0xffffffffu;
        info.opacity = 100;
        info.backgroundColor = 0xff2040c0u;
        info.backgroundOpacity = 80;
        info.scroll = 1;
        info.rollSpeed = 80;
        const int subtitle = scene->CreateTextItem(&info, 0, 0);
        scene->SetItemRect(subtitle, 0, 640, kWidth, 60);
        char16_t plainText[kTextTextUnits] = u"MorvaShow";
        info.text = plainText;
        info.scroll = 0;
        info.rollSpeed = 0;
        const int text = scene->CreateTextItem(&info, 0, 0);
        scene->SetItemRect(text, 40, 560, 400, 60);
        const int mark = scene->AddCustomCapture(&m_watermark);
        scene->SetItemRect(mark, 1060, 20, 200, 60);

        // Let the pictures decode and the sources settle.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }

    ~FullScene() { shutdown(); }

    FullScene(const FullScene &) = delete;
    FullScene &operator=(const FullScene &) = delete;

    ILiveScene *scene() const { return m_scene; }
    castcore::MediaEngine &media() { return static_cast<castcore::CastCoreEngine *>(m_engine.get())->media(); }
    castcore::Compositor &compositor() { return media().compositor(); }
    PushListener &listener() { return m_listener; }

    // Idempotent; the filter leaves before the engine stops.
    void shutdown()
    {
        if (!m_scene)
            return;
        m_scene->SetItemVideoFilter(m_camera, nullptr);
        m_scene->Shutdown();
        m_scene = nullptr;
    }

private:
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
    Beauty m_beauty;
    Watermark m_watermark;
    int m_camera = 0;
    std::unique_ptr<ILiveEngine> m_engine;
    ILiveScene *m_scene = nullptr;
};

} // namespace benchscene
