#pragma once

// The scene these tests run the engine on, and readers of what its
// listener heard.

#include "EngineFixture.h"

#include <QColor>
#include <QFileInfo>
#include <QImage>
#include <QRect>

#include <string>
#include <vector>

namespace enginetest {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kFps = 25;
// One solid picture at its own size, well inside the black canvas.
const QColor kPictureColour(230, 120, 30);
const QRect kPictureRect(160, 90, 320, 180);
// Generous for 16 tests on 8 busy cores under sanitizers.
constexpr int kWaitMs = 20000;

// Starts the scene without a preview window; the engine's answer.
inline int initScene(EngineFixture &f)
{
    LiveVideoConfig cfg;
    cfg.mode = -1;
    cfg.width = kWidth;
    cfg.height = kHeight;
    cfg.bitRate = 1000000;
    cfg.frameRate = kFps;
    cfg.flagA = 1;
    cfg.flagC = 1;
    return f.scene()->Init(&cfg, WId(0));
}

// The solid picture as an item; its id.
inline int addPicture(EngineFixture &f)
{
    const QString path = f.env.workPath() + QStringLiteral("/solid.png");
    QImage image(kPictureRect.size(), QImage::Format_RGB32);
    image.fill(kPictureColour);
    if (!image.save(path, "PNG"))
        return -1;
    return f.scene()->CreateItem(path.toUtf8().constData(), kPictureRect.x(), kPictureRect.y(), 100, 100);
}

// Levels reported for `type`, from the `from`-th level report on.
inline std::vector<int> levelsOf(const RecordingListener &l, int type, size_t from = 0)
{
    std::vector<int> out;
    const std::vector<mvplatform::CallRecord> calls = l.calls.of("OnAudioLevel");
    for (size_t i = from; i < calls.size(); ++i)
        if (std::stoi(calls[i].args.at(0)) == type)
            out.push_back(std::stoi(calls[i].args.at(1)));
    return out;
}

inline int levelReports(const RecordingListener &l)
{
    return l.calls.count("OnAudioLevel");
}

// Push states reported for `url` with `connected`.
inline int pushStates(const RecordingListener &l, const std::string &url, bool connected)
{
    int n = 0;
    for (const mvplatform::CallRecord &r : l.calls.of("OnPushState"))
        n += (r.args.at(0) == url && r.args.at(1) == (connected ? "true" : "false")) ? 1 : 0;
    return n;
}

inline qint64 fileSize(const QString &path)
{
    return QFileInfo(path).size();
}

} // namespace enginetest
