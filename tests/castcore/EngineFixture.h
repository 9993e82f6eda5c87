#pragma once

// Shared pieces of the engine layer's tests: an engine made the way the
// facade makes it, and listener, filter and capture objects that record
// what the engine calls and on which thread.

#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "ControlFace.h"
#include "LiveEngine.h"
#include "TempEnvironment.h"
#include "TextRecord.h"

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <memory>
#include <string>
#include <thread>
#include <vector>

class RecordingListener : public ILiveListener
{
public:
    mvplatform::CallLog calls;
    std::string pushUrl = "rtmp://127.0.0.1/live/stream";

    void OnReserved0(int, int) override {}
    void OnVideoFps(int fps) override { calls.record("OnVideoFps", {std::to_string(fps)}); }
    void GetPushUrl(char *buffer, int size, int) override
    {
        calls.record("GetPushUrl", {std::to_string(size)});
        qstrncpy(buffer, pushUrl.c_str(), uint(size));
    }
    void OnPushState(const char *url, bool connected, int n) override
    {
        calls.record("OnPushState", {url, connected ? "true" : "false", std::to_string(n)});
    }
    void OnReserved4(int, int, int) override {}
    void OnReserved5(int, int, int, int, int) override {}
    void OnReserved6(int, int, int) override {}
    void OnAudioLevel(int type, int level) override
    {
        calls.record("OnAudioLevel", {std::to_string(type), std::to_string(level)});
    }
    void OnPaintOverlay(QPainter *painter) override
    {
        calls.record("OnPaintOverlay", {painter ? "set" : "null"});
    }
    void OnKbps(float kbps) override { calls.record("OnKbps", {mvplatform::toArg(kbps)}); }
    void OnSystemPerformance(int cpu, int mem) override
    {
        calls.record("OnSystemPerformance", {std::to_string(cpu), std::to_string(mem)});
    }
    void OnFrameDropped(int64_t total, int middle, float percent) override
    {
        calls.record("OnFrameDropped",
                     {std::to_string(total), std::to_string(middle), mvplatform::toArg(percent)});
    }
    void OnRecordingEnded(const char *path, int error) override
    {
        calls.record("OnRecordingEnded", {path ? path : "null", std::to_string(error)});
    }
};

class RecordingFilter : public IVideoFilter
{
public:
    mvplatform::CallLog calls;
    bool answer = true;

    bool Filter(int itemId, std::uintptr_t f0, std::uintptr_t f1, std::uintptr_t f2, PicturePlane *out) override
    {
        calls.record("Filter", {std::to_string(itemId), std::to_string(f0), std::to_string(f1), std::to_string(f2)});
        if (out)
            out->format = 4;
        return answer;
    }
    void Free(std::uintptr_t a, std::uintptr_t b) override
    {
        calls.record("Free", {std::to_string(a), std::to_string(b)});
    }
    void DeviceLost(std::uintptr_t a) override { calls.record("DeviceLost", {std::to_string(a)}); }
};

class FixedCapture : public ICustomCapture
{
public:
    mvplatform::CallLog calls;
    uint32_t width = 56;
    uint32_t height = 35;
    std::vector<uint8_t> pixels = std::vector<uint8_t>(56 * 35 * 4, 0x5a);

    bool GetFormat(CaptureFormat *f) override
    {
        calls.record("GetFormat");
        f->width = width;
        f->height = height;
        f->byteCount = uint32_t(pixels.size());
        f->reserved = 0;
        return true;
    }
    bool GetFrame(void *destination, uint32_t size) override
    {
        calls.record("GetFrame", {std::to_string(size)});
        if (size != pixels.size())
            return false;
        memcpy(destination, pixels.data(), size);
        return true;
    }
    bool QueryA(uint32_t) override { return false; }
    bool QueryB(uint32_t, uint32_t) override { return false; }
};

// Writes a new file; false when it cannot.
inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A fresh temp environment, a reset control face and an engine made as the
// facade makes it.
struct EngineFixture
{
    testsupport::TempEnvironment env;
    RecordingListener listener;
    std::unique_ptr<ILiveEngine> engine;

    EngineFixture()
    {
        castcore::control().reset();
        engine.reset(CreateLiveInstance(&listener, 3, 0, 0, 0, 2));
    }
    ~EngineFixture()
    {
        castcore::control().gates().openAll();
        engine.reset();
        castcore::control().reset();
    }

    ILiveScene *scene() { return engine->GetScene(); }
    ISceneStore *store() { return engine->GetSceneStore(); }
    castcore::CastCoreEngine *ours() { return static_cast<castcore::CastCoreEngine *>(engine.get()); }

    std::string scenePath() const { return (env.dataHome() + QStringLiteral("/sceneList.zdb")).toStdString(); }

    // A PNG of the given size in the work folder; returns its path.
    std::string picture(const QString &name, int w, int h) const
    {
        const QString path = env.workPath() + QLatin1Char('/') + name;
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        img.save(path, "PNG");
        return path.toStdString();
    }

    int init(int width = 1280, int height = 720)
    {
        LiveVideoConfig cfg;
        cfg.mode = -1;
        cfg.width = width;
        cfg.height = height;
        cfg.bitRate = 1000000;
        cfg.frameRate = 25;
        cfg.flagA = 1;
        cfg.flagB = 0;
        cfg.flagC = 1;
        return scene()->Init(&cfg, WId(0x1234));
    }
};

using testsupport::TextRecord;
