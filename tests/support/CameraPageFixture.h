#pragma once

// For the test areas that link the editors: a camera page on a bare
// widget, over a started facade on the platform layers, with a settings
// store on a real file in the test's own folder.

#include "AuthWorld.h"
#include "FacadeFixture.h"
#include "ModalDriver.h"
#include "ModalWatchdog.h"
#include "SysConfig.h"
#include "UiSetBeauty.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QWidget>

#include <memory>
#include <vector>

namespace camerapage {

inline CameraFormat format(int color, int width, int height, int fps)
{
    CameraFormat f;
    f.colorFormat = color;
    f.width = width;
    f.height = height;
    f.fps = fps;
    return f;
}

inline castcore::CameraDevice camera(const QString &name, std::vector<CameraFormat> formats)
{
    castcore::CameraDevice d;
    d.name = name.toStdU16String();
    d.formats = std::move(formats);
    return d;
}

// 0 YUY2, 3 I420, 5 RGB24, 6 MJPG.
inline std::vector<castcore::CameraDevice> twoCameras()
{
    return {camera(QStringLiteral("USB 摄像头"), {format(0, 640, 480, 30), format(0, 1280, 720, 30),
                                                 format(6, 1280, 720, 30), format(6, 1920, 1080, 30),
                                                 format(0, 960, 540, 15)}),
            camera(QStringLiteral("Cam B"), {format(6, 1280, 720, 25), format(0, 960, 540, 30)})};
}

class PageFixture : public testsupport::FacadeFixture
{
public:
    explicit PageFixture(std::vector<castcore::CameraDevice> cameras = twoCameras())
        : m_cameras(std::move(cameras))
    {
        env.copyEffectFolder();
        plugCameras();
        started = init() == 0;
    }
    ~PageFixture()
    {
        closePage();
        castcore::control().gates().openAll();
    }

    // A new facade over the saved scene, the same cameras plugged in.
    bool restartScene()
    {
        restart();
        plugCameras();
        return init() == 0;
    }

    // The settings file as a hand or an earlier run left it.
    static void writeSettings(const QByteArray &json)
    {
        QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
        QFile file(SysConfig::filePath());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(json);
    }
    static QJsonObject savedFile()
    {
        QFile file(SysConfig::filePath());
        if (!file.open(QIODevice::ReadOnly))
            return QJsonObject();
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    // The settings tabs' order: store first, then the facade.
    UiSetBeauty *openPage(bool withProxy = true)
    {
        store = std::make_unique<SysConfig>();
        host = std::make_unique<QWidget>();
        page = new UiSetBeauty(host.get());
        page->setConfig(store.get());
        if (withProxy)
            page->setLiveProxy(proxy.get());
        return page;
    }
    // The page goes, then the store, which writes the settings file.
    void closePage()
    {
        host.reset();
        page = nullptr;
        store.reset();
    }

    template <class T = QWidget>
    T *w(const char *name) const
    {
        return page->findChild<T *>(QString::fromLatin1(name));
    }
    QComboBox *cameras() const { return w<QComboBox>("CameracomboBox"); }
    QComboBox *formats() const { return w<QComboBox>("CameracomboBox_resolution"); }
    QPushButton *openButton() const { return w<QPushButton>("openCameraBtn"); }

    static QStringList rows(QComboBox *combo)
    {
        QStringList out;
        for (int i = 0; i < combo->count(); ++i)
            out << combo->itemText(i);
        return out;
    }

    // A press on the combo as the mouse makes it; the pop-up it may open is
    // closed again. True when the press reached the combo.
    static bool press(QComboBox *combo)
    {
        QMouseEvent event(QEvent::MouseButtonPress, QPointF(10, 10), combo->mapToGlobal(QPoint(10, 10)),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(combo, &event);
        const bool opened = combo->view()->isVisible();
        combo->hidePopup();
        return opened;
    }

    // Picks the camera and, after the press that lists its formats, the format.
    void choose(const QString &cameraName, const QString &formatText = QString())
    {
        cameras()->setCurrentIndex(cameras()->findText(cameraName));
        press(formats());
        if (!formatText.isEmpty())
            formats()->setCurrentIndex(formats()->findText(formatText));
    }

    // Moves both combos to another camera and format without their change
    // handlers, as a list rebuilt under blocked signals leaves them.
    void pickQuietly(const QString &cameraName, const QString &formatText)
    {
        {
            const QSignalBlocker blocker(cameras());
            cameras()->setCurrentText(cameraName);
        }
        press(formats());
        const QSignalBlocker blocker(formats());
        formats()->setCurrentText(formatText);
    }

    // The camera item the page holds, as the engine sees it.
    std::optional<castcore::SceneItem> cameraItem() const { return engine()->item(page->cameraItemId()); }
    std::vector<int> cameraItems() const
    {
        std::vector<int> ids;
        for (int id : engine()->itemIds())
            if (engine()->item(id)->kind == KindCamera)
                ids.push_back(id);
        return ids;
    }

    // Runs the action, answering the message boxes it shows with the
    // buttons given; returns their texts.
    static QStringList answering(const std::function<void()> &action, const QStringList &presses)
    {
        testsupport::ModalDriver driver;
        for (const QString &button : presses)
            driver.pressNext(button);
        action();
        driver.waitDone();
        QStringList texts;
        for (const testsupport::ModalSnapshot &s : driver.seen())
            texts << s.text(QStringLiteral("tipinfolabel"));
        return texts;
    }
    static QStringList boxes(const std::function<void()> &action, int n = 1)
    {
        QStringList presses;
        for (int i = 0; i < n; ++i)
            presses << QStringLiteral("确定");
        return answering(action, presses);
    }

    // The broadcast as the live panel starts it: the anchor signs in and the
    // room opens; the push is held, so the session stays in "starting".
    bool goLive()
    {
        if (!proxy->loginByPassword("mvanchor", authport::md5Hex("123456"), std::string()))
            return false;
        QElapsedTimer t;
        t.start();
        while (!proxy->isLoggedIn() && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        proxy->taskThread().waitIdle();
        castcore::control().gates().close("OnPushState");
        return proxy->openLive(std::string()) && proxy->isLiving();
    }
    bool startRecording() { return proxy->startRecording((env.workPath() + "/rec.flv").toStdString()); }

    // The analytics records sent since `from` log lines, as "action e".
    static QStringList analyticsSince(int from)
    {
        QStringList out;
        static const QRegularExpression record(QStringLiteral("^point - \\{.*action:(\\w+), e:(.*)\\}\\.$"));
        for (const QString &line : logSince(from)) {
            const QRegularExpressionMatch m = record.match(line);
            if (m.hasMatch())
                out << m.captured(1) + QLatin1Char(' ') + m.captured(2);
        }
        return out;
    }

    // The filter levels a camera frame is filtered with now, as FaceTone
    // receives them: "smoothing,colour temperature,whitening" in tenths of
    // the levels; "0,0,0" when the frame passes unfiltered.
    QString filterLevels(int id)
    {
        std::vector<uint8_t> pixels(320 * 180 * 4, 0x80);
        PicturePlane out;
        const int before = facetone::callLog().count("ImageFilterFilterPicture");
        engine()->deliverFrame(id, reinterpret_cast<std::uintptr_t>(pixels.data()), 320 * 4, pixels.size(), &out);
        if (facetone::callLog().count("ImageFilterFilterPicture") == before)
            return QStringLiteral("0,0,0");
        const std::vector<std::string> a = facetone::callLog().last("ImageFilterFilterPicture")->args;
        return QString::fromStdString(a.at(7) + "," + a.at(8) + "," + a.at(10));
    }

    testsupport::ModalWatchdog watchdog{8000};
    std::vector<castcore::CameraDevice> m_cameras;
    std::unique_ptr<SysConfig> store;
    std::unique_ptr<QWidget> host;
    UiSetBeauty *page = nullptr;
    bool started = false;

private:
    void plugCameras()
    {
        castcore::World world = castcore::control().world();
        world.cameras = m_cameras;
        castcore::control().setWorld(world);
    }
};

} // namespace camerapage
