// The whole program on a real X server: signed in, a scene of a camera with
// beauty, a picture, a sticker and a scrolling subtitle is composed and
// shown in the preview window; items move and resize under the mouse.
// With MORVASHOW_SCREENSHOT set, the main window's grab is saved there
// (scripts/screenshot.sh makes the README's picture this way).

#include "CastCoreControl.h"
#include "CastCoreEngine.h"
#include "FacadeFixture.h"
#include "MouseMoves.h"
#include "SceneRegistry.h"
#include "SysConfig.h"
#include "UiMain.h"
#include "UiVideo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QScreen>
#include <QtTest>

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

} // namespace

class StudioTest : public QObject
{
    Q_OBJECT

private slots:
    void composedSceneShowsAndFollowsTheMouse();
};

void StudioTest::composedSceneShowsAndFollowsTheMouse()
{
    FacadeFixture f;
    writeSettings(kAutoLoginAccount);
    UiMain window;
    QCOMPARE(window.initWith(f.proxy.get()), 0);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY_WITH_TIMEOUT(f.proxy->isLoggedIn(), 10000);
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

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    StudioTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_studio.moc"
