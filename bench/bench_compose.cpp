// The compositor's cost per frame at 1280x720, 25 fps: a camera with beauty,
// two pictures, a GIF, a scrolling subtitle, a text and a watermark-like
// custom capture, run by the engine itself; the process's CPU time per
// composed frame (all its threads: camera, decoding, the video thread),
// beside a plain 1280x720 frame copy measured in the same run.
#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "FaceTone.h"
#include "LiveEngine.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstring>
#include <ctime>
#include <thread>

namespace {

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

class NullListener : public ILiveListener
{
public:
    void OnReserved0(int, int) override {}
    void OnVideoFps(int) override {}
    void GetPushUrl(char *, int, int) override {}
    void OnPushState(const char *, bool, int) override {}
    void OnReserved4(int, int, int) override {}
    void OnReserved5(int, int, int, int, int) override {}
    void OnReserved6(int, int, int) override {}
    void OnAudioLevel(int, int) override {}
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

QString picture(const QTemporaryDir &dir, const char *name, QColor colour)
{
    QImage img(400, 300, QImage::Format_ARGB32);
    img.fill(colour);
    const QString path = dir.filePath(QString::fromLatin1(name));
    img.save(path, "PNG");
    return path;
}

void BM_ComposeFullScene(benchmark::State &state)
{
    QTemporaryDir dir;
    NullListener listener;
    std::unique_ptr<ILiveEngine> engine(CreateLiveInstance(&listener, 3, 0, 0, 0, 2));
    ILiveScene *scene = engine->GetScene();
    LiveVideoConfig config;
    config.mode = -1;
    config.width = 1280;
    config.height = 720;
    config.bitRate = 2500000;
    config.frameRate = 25;
    scene->Init(&config, 0);

    const castcore::World world = castcore::control().world();
    CameraParams params{0, 1280, 720, 25};
    const int camera = scene->OpenCamera(world.cameras.front().name.c_str(), 0, 0, 0, 0);
    scene->SetCameraParams(camera, &params);
    scene->SetItemRect(camera, 0, 0, 1280, 720);
    Beauty beauty;
    scene->SetItemVideoFilter(camera, &beauty);
    const int a = scene->CreateItem(picture(dir, "a.png", Qt::red).toUtf8().constData(), 0, 0, 100, 100);
    scene->SetItemRect(a, 40, 40, 300, 200);
    const int b = scene->CreateItem(picture(dir, "b.png", Qt::green).toUtf8().constData(), 0, 0, 100, 100);
    scene->SetItemRect(b, 900, 40, 300, 200);
    const QString gif = dir.filePath(QStringLiteral("c.gif"));
    QProcess::execute(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                                 QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                                 QStringLiteral("testsrc=size=160x120:rate=10:duration=2"), gif});
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
    scene->SetItemRect(subtitle, 0, 640, 1280, 60);
    char16_t plainText[kTextTextUnits] = u"MorvaShow";
    info.text = plainText;
    info.scroll = 0;
    info.rollSpeed = 0;
    const int text = scene->CreateTextItem(&info, 0, 0);
    scene->SetItemRect(text, 40, 560, 400, 60);
    Watermark watermark;
    const int mark = scene->AddCustomCapture(&watermark);
    scene->SetItemRect(mark, 1060, 20, 200, 60);

    auto *ours = static_cast<castcore::CastCoreEngine *>(engine.get());
    castcore::Compositor &compositor = ours->media().compositor();
    // Let the pictures decode and the sources settle.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const int64_t framesBefore = compositor.framesMade();
    const double cpuBefore = cpuMs();
    for (auto _ : state) {
        const int64_t seen = compositor.framesMade();
        while (compositor.framesMade() == seen)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double frames = double(compositor.framesMade() - framesBefore);
    state.counters["cpu_ms_per_frame"] = (cpuMs() - cpuBefore) / (frames > 0 ? frames : 1);
    state.counters["lagged"] = double(compositor.framesLagged());
    scene->SetItemVideoFilter(camera, nullptr);
    scene->Shutdown();
}
BENCHMARK(BM_ComposeFullScene)->Iterations(250)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_PlainFrameCopy(benchmark::State &state)
{
    QImage from(1280, 720, QImage::Format_ARGB32_Premultiplied);
    from.fill(Qt::darkCyan);
    QImage to(1280, 720, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        std::memcpy(to.bits(), from.constBits(), size_t(from.sizeInBytes()));
        benchmark::DoNotOptimize(to.constBits());
    }
    state.counters["ms_per_frame"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_PlainFrameCopy)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
