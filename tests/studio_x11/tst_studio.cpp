// The whole program on a real X server: signed in, a scene of a camera with
// beauty, a picture, a sticker and a scrolling subtitle is composed and
// shown in the preview window; items move and resize under the mouse.
// A broadcast started with the live panel's button reaches a local RTMP
// receiver and, with "同步录制" ticked, a recording in the record folder.
// With MORVASHOW_SCREENSHOT set, the main window's grab is saved there
// (scripts/screenshot.sh makes the README's picture this way).

#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "FacadeFixture.h"
#include "MediaInspector.h"
#include "ModalDriver.h"
#include "MvListener.h"
#include "MouseMoves.h"
#include "SceneRegistry.h"
#include "SysConfig.h"
#include "UiMain.h"
#include "UiVideo.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonDocument>
#include <QProcess>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <functional>

using testsupport::FacadeFixture;

namespace {

const QByteArray kAutoLoginAccount =
    R"({"account":{"name":"mvanchor","token":"token-mvanchor","auto_login":true,"zone":"+86","mode":1}})";

void writeSettings(const QByteArray &json)
{
    QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
    QFile f(SysConfig::filePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(json);
}

bool near(QRgb a, QColor b, int tolerance = 24)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QString solidPicture(const testsupport::TempEnvironment &env, const QString &name, QColor colour, QSize size)
{
    QImage img(size, QImage::Format_ARGB32);
    img.fill(colour);
    const QString path = env.workPath() + QLatin1Char('/') + name;
    img.save(path, "PNG");
    return path;
}

// What the X server shows of the preview window now.
QImage grabPreview(QWidget *video)
{
    QWidget *surface = video->findChild<QWidget *>(QStringLiteral("widget_preview"));
    return QGuiApplication::primaryScreen()->grabWindow(surface->winId()).toImage();
}

bool waitFor(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        if (done())
            return true;
        QTest::qWait(30);
    }
    return done();
}

// A port on the loopback nobody listens on now.
quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

bool listening(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

// Runs a command to its end (bounded): whether it succeeded, and its output.
bool run(const QString &program, const QStringList &args, QByteArray *output = nullptr, int timeoutMs = 30000)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// The signed-in main window on the facade of `f`.
bool signIn(FacadeFixture &f, UiMain &window)
{
    writeSettings(kAutoLoginAccount);
    if (window.initWith(f.proxy.get()) != 0)
        return false;
    window.show();
    return QTest::qWaitForWindowExposed(&window) && waitFor([&] { return f.proxy->isLoggedIn(); }, 10000);
}

} // namespace

class StudioTest : public QObject
{
    Q_OBJECT

private slots:
    void composedSceneShowsAndFollowsTheMouse();
    void broadcastReachesTheReceiverAndTheRecording();
};

void StudioTest::composedSceneShowsAndFollowsTheMouse()
{
    FacadeFixture f;
    UiMain window;
    QVERIFY(signIn(f, window));
    castcore::CastCoreEngine *engine = castcore::control().engine();
    QVERIFY(engine);
    const int canvasWidth = engine->canvasWidth();
    const int canvasHeight = engine->canvasHeight();
    QVERIFY(canvasWidth > 0 && canvasHeight > 0);
    UiVideo *video = window.findChild<UiVideo *>();
    QVERIFY(video);

    // The scene: the camera with beauty over the whole canvas, a red
    // picture, a green sticker and a scrolling subtitle.
    const castcore::World world = castcore::control().world();
    QVERIFY(!world.cameras.empty());
    const int camera = f.proxy->openCamera(world.cameras.front().name, scenereg::LayerCamera);
    QVERIFY(camera > 0);
    f.proxy->setBlur(camera, 8, 0, 0);
    f.proxy->setWhitening(camera, 0, 5, 0);
    ILiveScene &scene = engine->scene();
    QVERIFY(scene.SetItemRect(camera, 0, 0, canvasWidth, canvasHeight));
    const int picture = f.proxy->addImage(
        solidPicture(f.env, QStringLiteral("red.png"), Qt::red, QSize(320, 180)).toStdString(), 255,
        scenereg::LayerActive);
    QVERIFY(picture > 0);
    QVERIFY(scene.SetItemRect(picture, 160, 160, 320, 180));
    const int sticker = f.proxy->addPendant(
        solidPicture(f.env, QStringLiteral("green.png"), Qt::green, QSize(160, 160)).toStdString(), 255,
        scenereg::LayerActive);
    QVERIFY(sticker > 0);
    QVERIFY(scene.SetItemRect(sticker, canvasWidth - 320, 160, 160, 160));
    char16_t font[kTextFontNameUnits] = u"微软雅黑";
    char16_t text[kTextTextUnits] = u"欢迎来到直播间 Welcome";
    TextInfo info;
    info.mask = TextAllFields;
    info.fontName = font;
    info.text = text;
    info.size = 36;
    info.color = 0xffffffffu;
    info.opacity = 100;
    info.backgroundColor = 0xff2040c0u;
    info.backgroundOpacity = 100;
    info.scroll = 1;
    info.rollSpeed = 60;
    const int subtitle = f.proxy->addText(&info, scenereg::LayerActive);
    QVERIFY(subtitle > 0);
    QVERIFY(scene.SetItemRect(subtitle, 0, canvasHeight - 90, canvasWidth, 60));

    // Canvas to preview: fitted to the preview's height and centred.
    QWidget *surface = video->findChild<QWidget *>(QStringLiteral("widget_preview"));
    const double scale = double(surface->height()) / canvasHeight;
    const int offset = int((surface->width() - canvasWidth * scale) / 2);
    const auto shown = [&](int cx, int cy) { return QPoint(offset + int(cx * scale), int(cy * scale)); };
    QVERIFY(waitFor([&] {
        const QImage g = grabPreview(video);
        const QPoint red = shown(320, 250);
        const QPoint green = shown(canvasWidth - 240, 240);
        const QPoint band = shown(canvasWidth / 2, canvasHeight - 60);
        return near(g.pixel(red), Qt::red) && near(g.pixel(green), Qt::green)
            && (near(g.pixel(band), QColor(0x20, 0x40, 0xc0), 40) || near(g.pixel(band), Qt::white, 60));
    }));
    // The camera moves under everything else.
    const QImage first = grabPreview(video);
    QVERIFY(waitFor([&] { return grabPreview(video).copy(0, 0, surface->width(), 40) != first.copy(0, 0, surface->width(), 40); }));

    if (!qEnvironmentVariableIsEmpty("MORVASHOW_SCREENSHOT")) {
        const QString path = qEnvironmentVariable("MORVASHOW_SCREENSHOT");
        QVERIFY(QGuiApplication::primaryScreen()->grabWindow(window.winId()).save(path, "PNG"));
    }

    // Drag the picture by 100 preview pixels to the right and 50 down.
    const QPoint from = surface->mapTo(video, shown(320, 250));
    const QPoint to = from + QPoint(100, 50);
    QTest::mousePress(video, Qt::LeftButton, Qt::NoModifier, from);
    testsupport::moveMouse(video, from + QPoint(50, 25), Qt::LeftButton);
    testsupport::moveMouse(video, to, Qt::LeftButton);
    QTest::mouseRelease(video, Qt::LeftButton, Qt::NoModifier, to);
    int x = 0, y = 0, w = 0, h = 0;
    QVERIFY(scene.GetItemRect(picture, &x, &y, &w, &h));
    QVERIFY2(std::abs(x - (160 + int(100 / scale))) <= 4 && std::abs(y - (160 + int(50 / scale))) <= 4,
             qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    QCOMPARE(QSize(w, h), QSize(320, 180));
    const QPoint moved = shown(x + 160, y + 90);
    QVERIFY(waitFor([&] { return near(grabPreview(video).pixel(moved), Qt::red); }));
    QVERIFY(!near(grabPreview(video).pixel(shown(170, 170)), Qt::red)); // its old corner is free again

    // The selected picture's bottom-right handle makes it larger.
    const QPoint corner = surface->mapTo(video, shown(x + w, y + h));
    QTest::mousePress(video, Qt::LeftButton, Qt::NoModifier, corner);
    testsupport::moveMouse(video, corner + QPoint(30, 20), Qt::LeftButton);
    testsupport::moveMouse(video, corner + QPoint(60, 40), Qt::LeftButton);
    QTest::mouseRelease(video, Qt::LeftButton, Qt::NoModifier, corner + QPoint(60, 40));
    int x2 = 0, y2 = 0, w2 = 0, h2 = 0;
    QVERIFY(scene.GetItemRect(picture, &x2, &y2, &w2, &h2));
    QCOMPARE(QPoint(x2, y2), QPoint(x, y));
    QVERIFY2(w2 > w + 40 && h2 > h + 20, qPrintable(QStringLiteral("%1x%2").arg(w2).arg(h2)));
    const QPoint grown = shown(x2 + w2 - 10, y2 + h2 - 10);
    QVERIFY(waitFor([&] { return near(grabPreview(video).pixel(grown), Qt::red); }));
    // The selection frame is the preview's own: the canvas has no white
    // frame around the picture.
    const QImage canvas = engine->lastCanvas();
    QVERIFY(near(canvas.pixel(x2 + 1, y2 + 1), Qt::red));
}

void StudioTest::broadcastReachesTheReceiverAndTheRecording()
{
    testsupport::TempEnvironment outside; // the receiver's folder and the world file
    const quint16 port = freePort();
    QProcess receiver;
    receiver.start(QStringLiteral("bash"), {QStringLiteral(MORVA_SOURCE_DIR "/scripts/rtmp-receiver.sh"),
                                            outside.workPath() + QStringLiteral("/rtmp"), QString::number(port)});
    QVERIFY(waitFor([&] { return listening(port); }, 15000));
    const QString stream = QStringLiteral("rtmp://127.0.0.1:%1/live/20001").arg(port);
    const QString worldPath = outside.workPath() + QStringLiteral("/world.json");
    {
        QFile world(worldPath);
        QVERIFY(world.open(QIODevice::WriteOnly));
        world.write(QJsonDocument::fromVariant(QVariantMap{
                        {QStringLiteral("rooms"),
                         QVariantList{QVariantMap{{QStringLiteral("id"), 20001},
                                                  {QStringLiteral("live_lines"), QVariantList{stream + QStringLiteral("?line=1")}}}}}})
                        .toJson());
    }
    qputenv("MORVASHOW_WORLD", worldPath.toUtf8());
    FacadeFixture f;
    qunsetenv("MORVASHOW_WORLD");
    castcore::control().reset(); // the real push: nothing scripted
    UiMain window;
    QVERIFY(signIn(f, window));
    castcore::CastCoreEngine *engine = castcore::control().engine();
    const int picture = f.proxy->addImage(
        solidPicture(f.env, QStringLiteral("red.png"), Qt::red, QSize(320, 180)).toStdString(), 255,
        scenereg::LayerActive);
    QVERIFY(picture > 0);
    QVERIFY(engine->scene().SetItemRect(picture, 0, 0, 320, 180));

    const QString folder = f.env.workPath() + QStringLiteral("/录像");
    SysSettings sys;
    window.config()->getSysConfig(sys);
    sys.recordPath = folder;
    window.config()->setSysConfig(sys);
    std::atomic<int> kbpsReports{0};
    std::atomic<bool> bytesSent{false};
    QObject::connect(window.listener(), &MvListener::signal_setKBPS, [&](float k) {
        ++kbpsReports;
        if (k > 0)
            bytesSent = true;
    });
    auto *record = window.findChild<QCheckBox *>(QStringLiteral("recordbtn"));
    auto *play = window.findChild<QPushButton *>(QStringLiteral("playbtn"));
    QVERIFY(record && play);
    record->click();
    play->click();
    QVERIFY(waitFor([&] { return f.proxy->isLiving() && f.proxy->isRecording(); }));
    QVERIFY(waitFor([&] { return kbpsReports >= 2; }));
    QVERIFY(bytesSent); // bytes really leave for the receiver

    // What the receiver hands a viewer: the scene, picture for picture.
    const QString framePath = outside.workPath() + QStringLiteral("/frame.png");
    QVERIFY(run(QStringLiteral("ffmpeg"), {QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
                                           QStringLiteral("-rw_timeout"), QStringLiteral("15000000"),
                                           QStringLiteral("-i"), stream, QStringLiteral("-frames:v"),
                                           QStringLiteral("1"), framePath}));
    const QImage frame(framePath);
    QCOMPARE(frame.size(), QSize(engine->canvasWidth(), engine->canvasHeight()));
    QVERIFY2(near(frame.pixel(160, 90), Qt::red, 40), qPrintable(QColor(frame.pixel(160, 90)).name()));
    QVERIFY(near(frame.pixel(engine->canvasWidth() / 2, engine->canvasHeight() - 20), Qt::black, 40));

    // Stop ends both; the panel tells the user so.
    testsupport::ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    play->click();
    QVERIFY(driver.waitDone(15000));
    QVERIFY(waitFor([&] { return !f.proxy->isLiving() && !f.proxy->isRecording(); }));
    const QStringList files = QDir(folder).entryList({QStringLiteral("*.mp4")}, QDir::Files);
    QCOMPARE(files.size(), 1);
    const testsupport::MediaSummary recorded = testsupport::inspectMedia(folder + QLatin1Char('/') + files.front(), 25);
    QVERIFY(recorded.opened);
    QCOMPARE(recorded.videoCodec, QStringLiteral("h264"));
    QCOMPARE(recorded.audioCodec, QStringLiteral("aac"));
    QCOMPARE(QSize(recorded.width, recorded.height), QSize(engine->canvasWidth(), engine->canvasHeight()));
    QVERIFY(recorded.videoFrames >= 25); // a second at least
    QString why;
    QVERIFY2(testsupport::areaHasColour(recorded.picture, QRect(120, 80, 180, 90), Qt::red, 40, &why), qPrintable(why));
    receiver.kill();
    receiver.waitForFinished();
}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    StudioTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_studio.moc"
