#pragma once

// A live facade on the platform layers, for the facade's test areas (they
// link `live`). Each fixture starts from reset control faces and a fresh
// temporary environment, so the saved scene and the daily log are its own.

#include "AuthControl.h"
#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "FaceTone.h"
#include "LiveParams.h"
#include "LiveProxy.h"
#include "LogCapture.h"
#include "TempEnvironment.h"
#include "TextRecord.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <string>
#include <vector>

namespace testsupport {

class FacadeFixture
{
public:
    FacadeFixture()
    {
        resetLayers();
        proxy = std::make_unique<LiveProxy>();
    }
    ~FacadeFixture()
    {
        castcore::control().gates().openAll();
        proxy.reset();
        resetLayers();
    }

    FacadeFixture(const FacadeFixture &) = delete;
    FacadeFixture &operator=(const FacadeFixture &) = delete;

    static void resetLayers()
    {
        castcore::control().reset();
        // Lines connect without an RTMP server; tests of the real push
        // connect to a receiver of their own.
        castcore::control().setDefaultPushOutcome(true);
        authport::control().reset();
        facetone::reset();
    }

    // The start record the workspace builds: an 800 x 450 preview and the
    // output of the quality row given.
    static LiveParams params(int quality, int outputWidth, int outputHeight, int bitRate, int frameRate)
    {
        LiveParams p;
        p.previewWindow = WId(0x5150);
        p.quality = quality;
        p.previewWidth = 800;
        p.previewHeight = 450;
        p.outputWidth = outputWidth;
        p.outputHeight = outputHeight;
        p.bitRate = bitRate;
        p.frameRate = frameRate;
        p.cameraWidth = -1;
        p.cameraHeight = -1;
        p.qualityIndex = quality;
        return p;
    }

    // Starts the scene with an 800 x 450 preview on a 1280 x 720 canvas.
    int init()
    {
        LiveParams p = params(1, 1280, 720, 1000, 25);
        return proxy->init(&p);
    }

    // A clean facade over the same saved scene, as after a restart.
    void restart()
    {
        proxy->destroy();
        proxy.reset();
        resetLayers();
        proxy = std::make_unique<LiveProxy>();
    }

    castcore::CastCoreEngine *engine() const { return castcore::control().engine(); }
    mvplatform::CallLog &calls() const { return castcore::control().log(); }

    // The engine operations called since the last clear, optionally only those named.
    std::vector<std::string> ops(const std::vector<std::string> &only = {}) const
    {
        std::vector<std::string> out;
        for (const std::string &op : calls().ops())
            if (only.empty() || std::find(only.begin(), only.end(), op) != only.end())
                out.push_back(op);
        return out;
    }

    // "op(a,b,...)" of every call of op, in order.
    QStringList callsOf(const std::string &op) const
    {
        QStringList out;
        for (const mvplatform::CallRecord &r : calls().of(op)) {
            QStringList args;
            for (const std::string &a : r.args)
                args << QString::fromStdString(a);
            out << QString::fromStdString(op) + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        return out;
    }

    // Log texts written since `from` lines of today's log.
    static QStringList logSince(int from)
    {
        const QStringList all = LogCapture::texts();
        return all.mid(from);
    }
    static int logSize() { return LogCapture::texts().size(); }

    // A PNG of the given size in the work folder; returns its path.
    std::string picture(const QString &name, int w, int h) const
    {
        const QString path = env.workPath() + QLatin1Char('/') + name;
        QImage img(w, h, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        img.save(path, "PNG");
        return path.toStdString();
    }

    // n pictures of 10 x 10 on the active layer, in order of their z-orders.
    std::vector<int> addImages(int n)
    {
        const std::string path = picture(QStringLiteral("image.png"), 10, 10);
        std::vector<int> ids;
        for (int i = 0; i < n; ++i)
            ids.push_back(proxy->addImage(path, 255, 3));
        return ids;
    }

    std::u16string cameraName() const { return castcore::control().world().cameras.at(0).name; }

    TempEnvironment env;
    std::unique_ptr<LiveProxy> proxy;
};

} // namespace testsupport
