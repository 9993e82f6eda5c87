// The camera page over the real facade and engine layer: settings, device and
// format lists, opening, closing and adopting the camera, clarity, beauty,
// effect and flips, each reaching the scene at once and the settings file.

#include "CameraPageFixture.h"

#include "HttpStub.h"

#include "MvCheckableBtn.h"
#include "MvListener.h"
#include "UifigureEffect.h"

#include <QCheckBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>

using camerapage::PageFixture;
using camerapage::camera;
using camerapage::format;

namespace {

const QString kUsb = QStringLiteral("USB 摄像头");
const QString kCamB = QStringLiteral("Cam B");
const QString kUsb720 = QStringLiteral("YUY2, 1280x720, 30FPS");
const QString kUsbMjpg720 = QStringLiteral("MJPG, 1280x720, 30FPS");
const QString kUsb540 = QStringLiteral("YUY2, 960x540, 15FPS");
const QString kCameraPrompt = QStringLiteral("选择摄像头...");
const QString kFormatPrompt = QStringLiteral("选择采集分辨率...");
const QString kOpen = QStringLiteral("打开摄像头");
const QString kClose = QStringLiteral("关闭摄像头");

// The sixteen keys of the section, as the file holds them.
QJsonObject cameraSection(int slim, int whitening, int blur, int colour, bool slimOn, bool whiteOn, bool blurOn,
                          bool colourOn, bool turnH, bool turnV, int effect, int beauty, int clarity, int width,
                          int height, int color)
{
    return QJsonObject{{"camera_slim", slim},
                       {"camera_whitening", whitening},
                       {"camera_blur", blur},
                       {"camera_colour_temperature", colour},
                       {"camera_slim_enable", slimOn},
                       {"camera_whitening_enable", whiteOn},
                       {"camera_blur_enable", blurOn},
                       {"camera_colour_temperature_enable", colourOn},
                       {"camera_turn_h", turnH},
                       {"camera_turn_v", turnV},
                       {"camera_effect", effect},
                       {"camera_index_beauty", beauty},
                       {"camera_index_resolution", clarity},
                       {"camera_resolution_width", width},
                       {"camera_resolution_height", height},
                       {"camera_color_type", color}};
}

QJsonObject defaultSection()
{
    return cameraSection(0, 0, 0, 0, true, true, true, true, false, false, -1, 0, 1, 0, 0, 7);
}

QByteArray fileWith(const QJsonObject &camera)
{
    return QJsonDocument(QJsonObject{{"camera", camera}}).toJson();
}

// Which clarity button carries the checked look: 0, 1, 2 or -1 for none.
int clarityShown(const PageFixture &f)
{
    const char *names[] = {"ordinaryclarityBtn", "highclarityBtn", "superclarityBtn"};
    int shown = -1;
    for (int i = 0; i < 3; ++i) {
        if (f.w<MvCheckableBtn>(names[i])->CheckedLook()) {
            if (shown != -1)
                return -2;
            shown = i;
        }
    }
    return shown;
}

// The output the engine was last configured with: "width x height bitrate fps".
QString videoConfig(PageFixture &f)
{
    LiveParams p;
    f.proxy->getLiveVideoConfig(&p);
    return QString("%1x%2 %3 %4").arg(p.outputWidth).arg(p.outputHeight).arg(p.bitRate).arg(p.frameRate);
}

} // namespace

class CameraPageTest : public QObject
{
    Q_OBJECT

private slots:
    // settings
    void firstRunSavesAndShowsTheDefaults();
    void fileWithoutCameraShowsDefaultsAndWritesNoKeys();
    void partialSectionReadsMissingKeysAsZero();
    void handEditedValuesAreShownSafelyAndSavedClamped_data();
    void handEditedValuesAreShownSafelyAndSavedClamped();
    void everyChangeSavesTheWholeRecord();
    void changesBeforeTheStoreIsSetAreKeptOnly();
    // lists
    void cameraListSkipsEmptyNamesAndKeepsTheChoice();
    void formatListOffersWideFormatsBelow1080InEngineOrder();
    void formatListOfANarrowOrTallOnlyCamera_data();
    void formatListOfANarrowOrTallOnlyCamera();
    void rowTextsParseBack_data();
    void rowTextsParseBack();
    void formatIsAppliedThroughTheFirstMatchingEngineFormat();
    void formatTheCameraLacksIsLoggedAndNotSent();
    // open, close, restore
    void openingTakesTheCameraWithItsFormatAndRecord();
    void openRefusals_data();
    void openRefusals();
    void closeWhileBusyKeepsTheCamera_data();
    void closeWhileBusyKeepsTheCamera();
    void previewRequestMeetsTheSameRefusals();
    void failedOpenShowsTheOpenCameraAgain();
    void secondCameraReplacesTheFirst();
    void deviceChangeAsksFirst_data();
    void deviceChangeAsksFirst();
    void busyCombosRefusePressesWheelAndKeys();
    void restoredCameraIsAdopted_data();
    void restoredCameraIsAdopted();
    void backgroundIsAddedOnce();
    void unreadableBackgroundIsDroppedAlone_data();
    void unreadableBackgroundIsDroppedAlone();
    // clarity
    void clarityButtons();
    void clarityRefusedWhileBusy_data();
    void clarityRefusedWhileBusy();
    void aspectClassChangeReappliesClarityAndSlim();
    // beauty, effect, flips
    void slidersReachTheCameraFilter();
    void uncheckedLevelStaysOff();
    void oneKeyBeautyAndRestore();
    void analyticsReachTheHost();
    void recordIsPushedInOrderToANewCamera();
    void effectReachesTheCameraAsColourEffect();
    void flipsBothWays();
    void eachFlipAlone_data();
    void eachFlipAlone();
    // whole record over a restart
    void everythingReturnsAfterARestart();
};

// ---- settings ---------------------------------------------------------------

void CameraPageTest::firstRunSavesAndShowsTheDefaults()
{
    PageFixture f;
    QVERIFY(f.started);
    f.openPage();
    QVERIFY(!f.store->isLoaded());
    QCOMPARE(clarityShown(f), 1);
    QCOMPARE(f.w<QSlider>("slimSlider")->value(), 0);
    QVERIFY(f.w<QCheckBox>("checkBox_skinwhite")->isChecked());
    QCOMPARE(f.page->effectPicker()->currentPosition(), -1);
    QCOMPARE(f.openButton()->text(), kOpen);
    QCOMPARE(f.cameras()->currentText(), kCameraPrompt);
    f.closePage();
    QCOMPARE(PageFixture::savedFile().value("camera").toObject(), defaultSection());
}

void CameraPageTest::fileWithoutCameraShowsDefaultsAndWritesNoKeys()
{
    PageFixture f;
    PageFixture::writeSettings(R"({"sys": {"sys_hide_when_close": true}})");
    f.openPage();
    QVERIFY(f.store->isLoaded());
    QCOMPARE(clarityShown(f), 1);
    QCOMPARE(f.page->cameraSettings().index_resolution, 1);
    QCOMPARE(f.page->cameraSettings().effect, -1);
    f.closePage();
    const QJsonObject saved = PageFixture::savedFile();
    QVERIFY(saved.value("camera").toObject().isEmpty());
    QCOMPARE(saved.value("sys").toObject().value("sys_hide_when_close").toBool(), true);
}

void CameraPageTest::partialSectionReadsMissingKeysAsZero()
{
    PageFixture f;
    PageFixture::writeSettings(R"({"camera": {"camera_slim": 40, "camera_blur_enable": true}})");
    f.openPage();
    const CameraSettings &s = f.page->cameraSettings();
    QCOMPARE(s.slim, 40);
    QVERIFY(!s.slim_enable);
    QVERIFY(s.blur_enable);
    QCOMPARE(s.effect, 0);
    QCOMPARE(s.index_resolution, 0);
    QCOMPARE(clarityShown(f), 0);
    QCOMPARE(f.w<QSlider>("slimSlider")->value(), 40);
    QVERIFY(!f.w<QSlider>("slimSlider")->isEnabled());
    QVERIFY(!f.w<QCheckBox>("checkBox_slim")->isChecked());
    QVERIFY(f.w<QSlider>("exfoliatSLider")->isEnabled());
    QCOMPARE(f.page->effectPicker()->currentPosition(), 0);
    f.closePage();
    QCOMPARE(PageFixture::savedFile().value("camera").toObject(),
             cameraSection(40, 0, 0, 0, false, false, true, false, false, false, 0, 0, 0, 0, 0, 0));
}

void CameraPageTest::handEditedValuesAreShownSafelyAndSavedClamped_data()
{
    QTest::addColumn<QByteArray>("camera");
    QTest::addColumn<QJsonObject>("saved");
    const QJsonObject base = defaultSection();
    auto with = [&](std::initializer_list<std::pair<const char *, QJsonValue>> changes) {
        QJsonObject o = base;
        for (const auto &c : changes)
            o.insert(QLatin1String(c.first), c.second);
        return o;
    };
    const QByteArray rest = R"("camera_slim_enable": true, "camera_whitening_enable": true,
        "camera_blur_enable": true, "camera_colour_temperature_enable": true, "camera_effect": -1,
        "camera_index_resolution": 1, "camera_color_type": 7)";
    QTest::newRow("levels above 100") << QByteArray(R"({"camera_slim": 250, "camera_whitening": 101, )" + rest + "}")
                                      << with({{"camera_slim", 100}, {"camera_whitening", 100}});
    QTest::newRow("levels below 0") << QByteArray(R"({"camera_blur": -20, "camera_colour_temperature": -1, )" + rest + "}")
                                    << base;
    QTest::newRow("text and float levels") << QByteArray(R"({"camera_slim": "abc", "camera_blur": 33.5, )" + rest + "}")
                                           << base;
    QTest::newRow("flag as number") << QByteArray(R"({"camera_slim_enable": 1, "camera_whitening_enable": true,
        "camera_blur_enable": true, "camera_colour_temperature_enable": true, "camera_effect": -1,
        "camera_index_resolution": 1, "camera_color_type": 7})")
                                    << with({{"camera_slim_enable", false}});
    QTest::newRow("effect and clarity out of range") << QByteArray(R"({"camera_effect": 99, "camera_index_resolution": 7,
        "camera_slim_enable": true, "camera_whitening_enable": true, "camera_blur_enable": true,
        "camera_colour_temperature_enable": true, "camera_color_type": 7})")
                                                     << with({{"camera_effect", 99}, {"camera_index_resolution", 7}});
    QTest::newRow("section not an object") << QByteArray("[1, 2]") << base;
}

void CameraPageTest::handEditedValuesAreShownSafelyAndSavedClamped()
{
    QFETCH(QByteArray, camera);
    QFETCH(QJsonObject, saved);
    PageFixture f;
    PageFixture::writeSettings("{\"camera\": " + camera + "}");
    f.openPage();
    if (saved.value("camera_effect").toInt() == 99)
        QCOMPARE(f.page->effectPicker()->currentPosition(), -1);
    // The page stays usable: a later change saves the shown values.
    f.w<QCheckBox>("horizontalflipCheck")->click();
    saved.insert("camera_turn_h", true);
    f.closePage();
    QCOMPARE(PageFixture::savedFile().value("camera").toObject(), saved);
}

void CameraPageTest::everyChangeSavesTheWholeRecord()
{
    PageFixture f;
    f.openPage();
    CameraSettings stored;
    f.w<QSlider>("skinwhiteSlider")->setValue(35);
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.whitening, 35);
    QCOMPARE(f.w<QLabel>("label_skinwhiteValue")->text(), QStringLiteral("35"));
    f.w<QCheckBox>("checkBox_exfoliat")->click();
    QVERIFY(f.store->getCameraConfig(stored));
    QVERIFY(!stored.blur_enable);
    f.w<QPushButton>("superclarityBtn")->click();
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.index_resolution, 2);
    f.w<QCheckBox>("verticalflipCheck")->click();
    f.page->slot_onSetEffect(3);
    f.closePage();
    QCOMPARE(PageFixture::savedFile().value("camera").toObject(),
             cameraSection(0, 35, 0, 0, true, true, false, true, false, true, 3, 0, 2, 0, 0, 7));
}

void CameraPageTest::changesBeforeTheStoreIsSetAreKeptOnly()
{
    PageFixture f;
    QWidget host;
    auto *page = new UiSetBeauty(&host);
    page->findChild<QSlider *>("slimSlider")->setValue(20);
    page->slot_onSetEffect(2);
    page->slot_onCameraTurnStatus(true, false);
    QCOMPARE(page->cameraSettings().slim, 20);
    QCOMPARE(page->cameraSettings().effect, 2);
    QVERIFY(page->cameraSettings().turn_h);
    QVERIFY(!QFile::exists(SysConfig::filePath()));
}

// ---- lists ------------------------------------------------------------------

void CameraPageTest::cameraListSkipsEmptyNamesAndKeepsTheChoice()
{
    std::vector<castcore::CameraDevice> many{camera(QString(), {format(0, 1280, 720, 30)})};
    for (int i = 1; i <= 11; ++i)
        many.push_back(camera(QString("Cam %1").arg(i), {format(0, 1280, 720, 30)}));
    PageFixture f(many);
    f.openPage();
    // Ten devices come from the engine; the nameless one is left out.
    QStringList expected{kCameraPrompt};
    for (int i = 1; i <= 9; ++i)
        expected << QString("Cam %1").arg(i);
    QCOMPARE(PageFixture::rows(f.cameras()), expected);
    QCOMPARE(f.cameras()->itemData(0, Qt::SizeHintRole).toSize(), QSize(0, 0));
    QCOMPARE(f.formats()->itemData(0, Qt::SizeHintRole).toSize(), QSize(0, 0));
    QVERIFY(!f.cameras()->itemData(1, Qt::SizeHintRole).isValid());

    f.cameras()->setCurrentText("Cam 3");
    castcore::World world = castcore::control().world();
    world.cameras.erase(world.cameras.begin() + 1); // "Cam 1" unplugged
    castcore::control().setWorld(world);
    QVERIFY(PageFixture::press(f.cameras()));
    QCOMPARE(f.cameras()->currentText(), QStringLiteral("Cam 3"));
    QCOMPARE(PageFixture::rows(f.cameras()).mid(1, 2), (QStringList{"Cam 2", "Cam 3"}));
}

void CameraPageTest::formatListOffersWideFormatsBelow1080InEngineOrder()
{
    PageFixture f({camera(kUsb, {format(0, 640, 480, 30), format(0, 1280, 720, 30), format(6, 1920, 1080, 30),
                                 format(6, 1280, 720, 0), format(3, 960, 540, 15), format(5, 1024, 576, 30),
                                 format(0, 1280, 960, 30), format(4, 1366, 768, 30), format(6, 640, 360, 5)})});
    f.openPage();
    f.choose(kUsb);
    QCOMPARE(PageFixture::rows(f.formats()),
             (QStringList{kFormatPrompt, "YUY2, 1280x720, 30FPS", "MJPG, 1280x720", "I420, 960x540, 15FPS",
                          "RGB24, 1024x576, 30FPS", "MJPG, 640x360, 5FPS"}));
    QCOMPARE(f.formats()->currentText(), kFormatPrompt);

    // A choice still offered stays chosen when the list is fetched again.
    f.formats()->setCurrentText("I420, 960x540, 15FPS");
    QVERIFY(PageFixture::press(f.formats()));
    QCOMPARE(f.formats()->currentText(), QStringLiteral("I420, 960x540, 15FPS"));
    QCOMPARE(castcore::control().log().last("ListCameraFormats")->args.at(0), kUsb.toStdString());
}

void CameraPageTest::formatListOfANarrowOrTallOnlyCamera_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("4:3 only") << 640 << 480;
    QTest::newRow("1080 lines") << 1920 << 1080;
    QTest::newRow("above 1080 lines") << 2560 << 1440;
}

void CameraPageTest::formatListOfANarrowOrTallOnlyCamera()
{
    QFETCH(int, width);
    QFETCH(int, height);
    PageFixture f({camera(kUsb, {format(0, width, height, 30)})});
    f.openPage();
    f.choose(kUsb);
    QCOMPARE(PageFixture::rows(f.formats()), QStringList{kFormatPrompt});
    QCOMPARE(PageFixture::boxes([&] { f.openButton()->click(); }), QStringList{"请选择摄像头分辨率!"});
    QCOMPARE(f.openButton()->text(), kOpen);
    QVERIFY(f.cameraItems().empty());
}

void CameraPageTest::rowTextsParseBack_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("color");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("with frame rate") << "YUY2, 1280x720, 30FPS" << 0 << 1280 << 720;
    QTest::newRow("without frame rate") << "MJPG, 960x540" << 6 << 960 << 540;
    QTest::newRow("unknown colour") << "NV12, 640x360" << 7 << 640 << 360;
    QTest::newRow("lower-case name") << "mjpg, 640x360" << 7 << 640 << 360;
    QTest::newRow("no size") << "RGB24" << 5 << 0 << 0;
    QTest::newRow("empty") << "" << 7 << 0 << 0;
}

void CameraPageTest::rowTextsParseBack()
{
    QFETCH(QString, text);
    int color = -1, width = -1, height = -1;
    UiSetBeauty::parseResolutionText(text, &color, &width, &height);
    QTEST(color, "color");
    QTEST(width, "width");
    QTEST(height, "height");
    QCOMPARE(UiSetBeauty::formatResolutionText(3, 960, 540, 0), QStringLiteral("I420, 960x540"));
    QCOMPARE(UiSetBeauty::formatResolutionText(6, 1280, 720, 25), QStringLiteral("MJPG, 1280x720, 25FPS"));
}

void CameraPageTest::formatIsAppliedThroughTheFirstMatchingEngineFormat()
{
    // Two rows that differ only in the frame rate.
    PageFixture f({camera(kUsb, {format(0, 1280, 720, 30), format(0, 1280, 720, 15), format(6, 1280, 720, 30)})});
    f.openPage();
    f.choose(kUsb, "YUY2, 1280x720, 30FPS");
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QVERIFY(id > 0);
    castcore::control().log().clear();
    const int logStart = PageFixture::logSize();
    f.formats()->setCurrentText("YUY2, 1280x720, 15FPS");
    QCOMPARE(f.callsOf("SetCameraParams"), QStringList{QString("SetCameraParams(%1,0,1280,720,30)").arg(id)});
    QCOMPARE(f.engine()->settings().value("camerareinfo"), std::string("YUY2 1280*720 30"));
    QVERIFY(PageFixture::logSince(logStart).contains("set camera param, color: YUY2  width: 1280, height: 720."));
    QCOMPARE(f.cameraItem()->cameraParams.fps, 30);

    f.formats()->setCurrentText("MJPG, 1280x720, 30FPS");
    QCOMPARE(f.cameraItem()->cameraParams.colorFormat, 6);
    QCOMPARE(f.page->cameraSettings().color_type, 6);
}

void CameraPageTest::formatTheCameraLacksIsLoggedAndNotSent()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    QVERIFY(f.page->cameraItemId() > 0);
    f.press(f.formats());
    // The camera drops a format after the list was fetched.
    castcore::World world = castcore::control().world();
    world.cameras[0].formats.erase(world.cameras[0].formats.begin() + 4); // YUY2 960x540
    castcore::control().setWorld(world);
    castcore::control().log().clear();
    const int logStart = PageFixture::logSize();
    f.formats()->setCurrentText(kUsb540);
    QCOMPARE(f.calls().count("SetCameraParams"), 0);
    QCOMPARE(f.calls().count("Set"), 0);
    QVERIFY(PageFixture::logSince(logStart).contains("camera has not match the param."));
    QVERIFY(testsupport::LogCapture::lines().filter("[LOG_ERROR] {camera has not match the param.}").size() == 1);
    QCOMPARE(f.page->cameraSettings().resolution_width, 960);
    QCOMPARE(f.page->cameraSettings().resolution_height, 540);
}

// ---- open, close, restore ---------------------------------------------------

void CameraPageTest::openingTakesTheCameraWithItsFormatAndRecord()
{
    PageFixture f;
    f.openPage();
    QSignalSpy opened(f.page, SIGNAL(signal_cameraOpened(bool)));
    f.choose(kUsb, kUsbMjpg720);
    castcore::control().log().clear();
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QVERIFY(id > 0);
    QCOMPARE(f.page->cameraDeviceName(), kUsb);
    QCOMPARE(f.openButton()->text(), kClose);
    QVERIFY(f.openButton()->isEnabled());
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toBool(), true);
    QCOMPARE(f.callsOf("OpenCamera"), QStringList{QString("OpenCamera(%1,0,0,0,0)").arg(kUsb)});
    QCOMPARE(f.cameraItem()->cameraParams.colorFormat, 6);
    // Stretched over the 1280 x 720 canvas.
    QCOMPARE(QRect(f.cameraItem()->x, f.cameraItem()->y, f.cameraItem()->width, f.cameraItem()->height),
             QRect(0, 0, 1280, 720));
    CameraSettings stored;
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.color_type, 6);
    QCOMPARE(stored.resolution_width, 1280);

    castcore::control().log().clear();
    f.openButton()->click();
    QCOMPARE(f.callsOf("RemoveItem").size() + f.calls().count("Remove"), 1);
    QVERIFY(!f.engine()->item(id));
    QCOMPARE(f.page->cameraItemId(), -1);
    QVERIFY(f.page->cameraDeviceName().isEmpty());
    QCOMPARE(f.openButton()->text(), kOpen);
    QCOMPARE(opened.size(), 2);
    QCOMPARE(opened.at(1).at(0).toBool(), false);
    QVERIFY(f.watchdog.firedOn().isEmpty());
}

void CameraPageTest::openRefusals_data()
{
    QTest::addColumn<QString>("cameraName");
    QTest::addColumn<QString>("formatText");
    QTest::addColumn<QString>("busy");
    QTest::addColumn<int>("engineAnswer"); // 1: open as usual
    QTest::addColumn<QString>("message");
    QTest::newRow("no camera chosen") << QString() << QString() << "" << 1 << "请选择摄像头!";
    QTest::newRow("no format chosen") << kUsb << QString() << "" << 1 << "请选择摄像头分辨率!";
    QTest::newRow("engine refuses") << kUsb << kUsb720 << "" << -3 << "摄像头打开失败!";
    QTest::newRow("engine answers id 0") << kUsb << kUsb720 << "" << 0 << "摄像头打开失败!";
    QTest::newRow("live") << kUsb << kUsb720 << "live" << 1 << "直播或录制中,不能打开摄像头!";
    QTest::newRow("recording") << kUsb << kUsb720 << "recording" << 1 << "直播或录制中,不能打开摄像头!";
}

void CameraPageTest::openRefusals()
{
    QFETCH(QString, cameraName);
    QFETCH(QString, formatText);
    QFETCH(QString, busy);
    QFETCH(int, engineAnswer);
    PageFixture f;
    f.openPage();
    QSignalSpy opened(f.page, SIGNAL(signal_cameraOpened(bool)));
    if (!cameraName.isEmpty())
        f.choose(cameraName, formatText);
    if (engineAnswer < 1)
        castcore::control().ints().push("OpenCamera", engineAnswer);
    if (busy == "live")
        QVERIFY(f.goLive());
    if (busy == "recording")
        QVERIFY(f.startRecording());
    QFETCH(QString, message);
    QCOMPARE(PageFixture::boxes([&] { f.openButton()->click(); }), QStringList{message});
    QCOMPARE(f.openButton()->text(), kOpen);
    QVERIFY(f.openButton()->isEnabled());
    QCOMPARE(f.page->cameraItemId(), -1);
    QVERIFY(f.cameraItems().empty());
    QCOMPARE(opened.size(), 0);
    if (!busy.isEmpty())
        QCOMPARE(f.calls().count("OpenCamera"), 0);
}

void CameraPageTest::closeWhileBusyKeepsTheCamera_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("live") << true;
    QTest::newRow("recording") << false;
}

void CameraPageTest::closeWhileBusyKeepsTheCamera()
{
    QFETCH(bool, live);
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QVERIFY(live ? f.goLive() : f.startRecording());
    QCOMPARE(PageFixture::boxes([&] { f.openButton()->click(); }), QStringList{"直播或录制中,不能关闭摄像头!"});
    QCOMPARE(f.openButton()->text(), kClose);
    QCOMPARE(f.page->cameraItemId(), id);
    QVERIFY(f.engine()->item(id));
}

void CameraPageTest::previewRequestMeetsTheSameRefusals()
{
    PageFixture f;
    f.openPage();
    QCOMPARE(PageFixture::boxes([&] { f.page->slot_openCamera(); }), QStringList{"请选择摄像头!"});
    f.choose(kUsb, kUsb720);
    QVERIFY(f.startRecording());
    QCOMPARE(PageFixture::boxes([&] { f.page->slot_openCamera(); }), QStringList{"直播或录制中,不能打开摄像头!"});
    QVERIFY(f.cameraItems().empty());
    f.proxy->stopRecording();

    f.page->slot_openCamera();
    QVERIFY(f.page->cameraItemId() > 0);
    QCOMPARE(f.openButton()->text(), kClose);
    QCOMPARE(PageFixture::boxes([&] { f.page->slot_openCamera(); }), QStringList{"该摄像头已经打开!"});
    QCOMPARE(f.cameraItems().size(), size_t(1));
    QCOMPARE(f.openButton()->text(), kClose);
}

void CameraPageTest::failedOpenShowsTheOpenCameraAgain()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.page->slot_openCamera();
    const int first = f.page->cameraItemId();
    f.pickQuietly(kCamB, "MJPG, 1280x720, 25FPS");
    castcore::control().ints().push("OpenCamera", -1);
    QCOMPARE(PageFixture::boxes([&] { f.page->slot_openCamera(); }), QStringList{"摄像头打开失败!"});
    QCOMPARE(f.cameras()->currentText(), kUsb);
    QCOMPARE(f.page->cameraItemId(), first);
    QCOMPARE(f.openButton()->text(), kClose);
}

void CameraPageTest::secondCameraReplacesTheFirst()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.page->slot_openCamera();
    const int first = f.page->cameraItemId();
    f.pickQuietly(kCamB, "YUY2, 960x540, 30FPS");
    QSignalSpy opened(f.page, SIGNAL(signal_cameraOpened(bool)));
    f.page->slot_openCamera();
    const int second = f.page->cameraItemId();
    QVERIFY(second > first);
    QVERIFY(!f.engine()->item(first));
    QCOMPARE(f.cameraItems(), std::vector<int>{second});
    QCOMPARE(QString::fromStdU16String(f.cameraItem()->cameraDevice), kCamB);
    QCOMPARE(f.cameraItem()->cameraParams.width, 960);
    QCOMPARE(f.page->cameraDeviceName(), kCamB);
    QCOMPARE(opened.size(), 1);
}

void CameraPageTest::deviceChangeAsksFirst_data()
{
    QTest::addColumn<QString>("answer");
    QTest::newRow("OK") << "确定";
    QTest::newRow("Cancel") << "取消";
}

void CameraPageTest::deviceChangeAsksFirst()
{
    QFETCH(QString, answer);
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QSignalSpy opened(f.page, SIGNAL(signal_cameraOpened(bool)));
    testsupport::ModalDriver driver;
    driver.pressNext(answer);
    f.cameras()->setCurrentText(kCamB);
    QVERIFY(driver.waitDone());
    QCOMPARE(driver.last().text("tipinfolabel"), QStringLiteral("是否关闭摄像头?"));
    QVERIFY(driver.last().hasButton("取消"));
    if (answer == "确定") {
        QVERIFY(!f.engine()->item(id));
        QCOMPARE(f.page->cameraItemId(), -1);
        QCOMPARE(f.cameras()->currentText(), kCamB);
        QCOMPARE(f.formats()->currentText(), kFormatPrompt);
        QCOMPARE(f.openButton()->text(), kOpen);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), false);
        // The new camera is not opened by the change.
        QVERIFY(f.cameraItems().empty());
    } else {
        QVERIFY(f.engine()->item(id));
        QCOMPARE(f.cameras()->currentText(), kUsb);
        QCOMPARE(f.openButton()->text(), kClose);
        QCOMPARE(opened.size(), 0);
    }
}

void CameraPageTest::busyCombosRefusePressesWheelAndKeys()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QVERIFY(f.goLive());
    castcore::control().log().clear();

    bool opened = true;
    QCOMPARE(PageFixture::boxes([&] { opened = PageFixture::press(f.cameras()); }),
             QStringList{"直播或录制中,不能设置摄像头"});
    QVERIFY(!opened);
    QCOMPARE(PageFixture::boxes([&] { opened = PageFixture::press(f.formats()); }),
             QStringList{"直播或录制中,不能设置摄像头!"});
    QVERIFY(!opened);

    // Keys move the combos without a press.
    QCOMPARE(PageFixture::boxes([&] { QTest::keyClick(f.cameras(), Qt::Key_Down); }),
             QStringList{"直播或录制中,不能设置摄像头"});
    QCOMPARE(f.cameras()->currentText(), kUsb);
    QCOMPARE(PageFixture::boxes([&] { QTest::keyClick(f.formats(), Qt::Key_Down); }),
             QStringList{"直播或录制中,不能设置摄像头!"});
    QCOMPARE(f.formats()->currentText(), kUsb720);
    QVERIFY(f.engine()->item(id));
    QCOMPARE(f.calls().count("SetCameraParams"), 0);
    QCOMPARE(f.calls().count("Remove"), 0);
    QCOMPARE(f.page->cameraSettings().resolution_width, 1280);
    QVERIFY(f.watchdog.firedOn().isEmpty());
}

void CameraPageTest::restoredCameraIsAdopted_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("engineFormat");
    QTest::newRow("saved format offered")
        << fileWith(cameraSection(0, 0, 0, 0, true, true, true, true, false, false, -1, 0, 1, 960, 540, 0))
        << kUsb540 << "0 960x540 15";
    QTest::newRow("saved format gone: the first row")
        << fileWith(cameraSection(0, 0, 0, 0, true, true, true, true, false, false, -1, 0, 1, 800, 450, 6)) << kUsb720
        << "0 1280x720 30";
    QTest::newRow("nothing saved: the first row") << QByteArray() << kUsb720 << "0 1280x720 30";
}

void CameraPageTest::restoredCameraIsAdopted()
{
    QFETCH(QByteArray, settings);
    PageFixture f;
    if (!settings.isEmpty())
        PageFixture::writeSettings(settings);
    // The scene came back from the last run with two cameras.
    const int id = f.proxy->openCamera(kUsb.toStdU16String(), 2);
    f.proxy->openCamera(kCamB.toStdU16String(), 2);
    QSignalSpy opened(f.page ? f.page : nullptr, SIGNAL(destroyed()));
    f.store = std::make_unique<SysConfig>();
    f.host = std::make_unique<QWidget>();
    f.page = new UiSetBeauty(f.host.get());
    QSignalSpy signal(f.page, SIGNAL(signal_cameraOpened(bool)));
    f.page->setConfig(f.store.get());
    castcore::control().log().clear();
    f.page->setLiveProxy(f.proxy.get());
    QCOMPARE(f.page->cameraItemId(), id);
    QCOMPARE(f.page->cameraDeviceName(), kUsb);
    QCOMPARE(f.cameras()->currentText(), kUsb);
    QTEST(f.formats()->currentText(), "shown");
    const CameraParams p = f.engine()->item(id)->cameraParams;
    QTEST(QString("%1 %2x%3 %4").arg(p.colorFormat).arg(p.width).arg(p.height).arg(p.fps), "engineFormat");
    QCOMPARE(f.openButton()->text(), kClose);
    QCOMPARE(signal.size(), 1);
    QCOMPARE(signal.at(0).at(0).toBool(), true);
    QCOMPARE(f.calls().count("OpenCamera"), 0);
    QCOMPARE(f.cameraItems().size(), size_t(2));
}

void CameraPageTest::backgroundIsAddedOnce()
{
    PageFixture f;
    f.openPage();
    int background = -1;
    QVERIFY(f.proxy->findBottomImageItem(&background));
    const auto item = f.engine()->item(background);
    QVERIFY(item);
    QCOMPARE(item->sources, std::vector<std::string>{"./effect/background.png"});
    QCOMPARE(QRect(item->x, item->y, item->width, item->height), QRect(0, 0, 1280, 720));
    QCOMPARE(item->alpha, 255);
    const int pictures = f.calls().count("CreateItem");
    f.closePage();
    f.openPage();
    QCOMPARE(f.calls().count("CreateItem"), pictures);
    int again = -1;
    QVERIFY(f.proxy->findBottomImageItem(&again));
    QCOMPARE(again, background);
}

void CameraPageTest::unreadableBackgroundIsDroppedAlone_data()
{
    QTest::addColumn<QByteArray>("content"); // the damaged file; empty: removed
    QTest::addColumn<QString>("line");
    QTest::newRow("missing") << QByteArray()
                             << QStringLiteral("drop background picture: ./effect/background.png (missing)");
    QTest::newRow("not a picture") << QByteArray("\x89PNG\r\n\x1a\n cut short")
                                   << QStringLiteral("drop background picture: ./effect/background.png (not a picture)");
}

void CameraPageTest::unreadableBackgroundIsDroppedAlone()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, line);
    PageFixture f;
    QVERIFY(f.started);
    // Saved with the scene: the background and a picture of the user's.
    const std::string mine = f.picture(QStringLiteral("mine.png"), 32, 18);
    QVERIFY(f.proxy->addImage(mine, 255, 3) > 0);
    f.openPage();
    int background = -1;
    QVERIFY(f.proxy->findBottomImageItem(&background));
    f.closePage();

    QVERIFY(QFile::remove(QStringLiteral("effect/background.png")));
    if (!content.isEmpty()) {
        QFile damaged(QStringLiteral("effect/background.png"));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(content);
    }
    const int from = PageFixture::logSize();
    QVERIFY(f.restartScene());
    f.openPage();
    QVERIFY(!f.proxy->findBottomImageItem(&background));
    QCOMPARE(PageFixture::logSince(from).count(line), 1);
    std::vector<std::vector<std::string>> pictures;
    for (int id : f.engine()->itemIds())
        if (f.engine()->item(id)->kind == KindPicture)
            pictures.push_back(f.engine()->item(id)->sources);
    QCOMPARE(pictures, std::vector<std::vector<std::string>>{{mine}});
}

// ---- clarity ----------------------------------------------------------------

void CameraPageTest::clarityButtons()
{
    PageFixture f;
    f.openPage();
    QCOMPARE(videoConfig(f), QStringLiteral("1280x720 1000000 25"));
    castcore::control().log().clear();
    f.w<QPushButton>("highclarityBtn")->click(); // the current one
    QCOMPARE(f.calls().count("SetVideoConfig"), 0);
    f.w<QPushButton>("ordinaryclarityBtn")->click();
    QCOMPARE(clarityShown(f), 0);
    QCOMPARE(videoConfig(f), QStringLiteral("1280x720 800000 20"));
    QCOMPARE(f.proxy->qualityIndex(), 0);
    f.w<QPushButton>("superclarityBtn")->click();
    QCOMPARE(clarityShown(f), 2);
    QCOMPARE(videoConfig(f), QStringLiteral("1280x720 1300000 25"));
    QCOMPARE(f.page->cameraSettings().index_resolution, 2);
}

void CameraPageTest::clarityRefusedWhileBusy_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("live");
    QTest::addColumn<QString>("message");
    QTest::newRow("ordinary, live") << "ordinaryclarityBtn" << true << "直播或录制中,无法设置!";
    QTest::newRow("ordinary, recording") << "ordinaryclarityBtn" << false << "直播或录制中,无法设置!";
    QTest::newRow("super, live") << "superclarityBtn" << true << "直播或录制中,无法设置";
    QTest::newRow("super, recording") << "superclarityBtn" << false << "直播或录制中,无法设置";
}

void CameraPageTest::clarityRefusedWhileBusy()
{
    QFETCH(QString, button);
    QFETCH(bool, live);
    PageFixture f;
    f.openPage();
    QVERIFY(live ? f.goLive() : f.startRecording());
    castcore::control().log().clear();
    QFETCH(QString, message);
    QCOMPARE(PageFixture::boxes([&] { f.page->findChild<QPushButton *>(button)->click(); }),
             QStringList{message});
    QCOMPARE(clarityShown(f), 1);
    QCOMPARE(f.page->cameraSettings().index_resolution, 1);
    QCOMPARE(f.calls().count("SetVideoConfig"), 0);
    // The current one still does nothing, not even the message.
    QCOMPARE(PageFixture::boxes([&] { f.w<QPushButton>("highclarityBtn")->click(); }, 0), QStringList());
    QVERIFY(f.watchdog.firedOn().isEmpty());
}

void CameraPageTest::aspectClassChangeReappliesClarityAndSlim()
{
    PageFixture f;
    f.openPage();
    f.w<QSlider>("slimSlider")->setValue(50);
    f.choose(kUsb, kUsb720);
    castcore::control().log().clear();
    f.openButton()->click(); // from no saved size (0 x 0) to 1280 x 720
    const int id = f.page->cameraItemId();
    QCOMPARE(f.calls().count("SetVideoConfig"), 1);
    // setSlim once for the aspect class, once with the record.
    QCOMPARE(f.calls().count("SetItemAspect"), 2);
    QVERIFY(qAbs(f.cameraItem()->aspect - (1280.0 / 720 - 50 / 200.0 * 0.6)) < 1e-5);

    castcore::control().log().clear();
    f.press(f.formats());
    f.formats()->setCurrentText(kUsb540); // 16:9 to 16:9
    QCOMPARE(f.calls().count("SetVideoConfig"), 0);
    QCOMPARE(f.calls().count("SetItemAspect"), 0);
    QCOMPARE(f.callsOf("SetCameraParams"), QStringList{QString("SetCameraParams(%1,0,960,540,15)").arg(id)});
}

// ---- beauty, effect, flips --------------------------------------------------

void CameraPageTest::slidersReachTheCameraFilter()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,0,0"));
    f.w<QSlider>("exfoliatSLider")->setValue(40);
    QCOMPARE(f.filterLevels(id), QStringLiteral("4,0,0"));
    f.w<QSlider>("colorTemperatureLabelSlider")->setValue(25);
    QCOMPARE(f.filterLevels(id), QStringLiteral("4,2.5,0"));
    f.w<QSlider>("skinwhiteSlider")->setValue(70);
    QCOMPARE(f.filterLevels(id), QStringLiteral("4,2.5,7"));
    QCOMPARE(f.w<QLabel>("label_colorTempValue")->text(), QStringLiteral("25"));
    f.w<QSlider>("slimSlider")->setValue(100);
    QVERIFY(qAbs(f.cameraItem()->aspect - (1280.0 / 720 - 0.3)) < 1e-5);
}

void CameraPageTest::uncheckedLevelStaysOff()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    f.w<QSlider>("skinwhiteSlider")->setValue(60);
    f.w<QCheckBox>("checkBox_skinwhite")->click();
    QVERIFY(!f.w<QSlider>("skinwhiteSlider")->isEnabled());
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,0,0"));
    f.w<QSlider>("exfoliatSLider")->setValue(30);
    f.w<QSlider>("colorTemperatureLabelSlider")->setValue(10);
    QCOMPARE(f.filterLevels(id), QStringLiteral("3,1,0"));
    // Moved while off: stored and saved, not sent.
    f.w<QSlider>("skinwhiteSlider")->setValue(80);
    QCOMPARE(f.filterLevels(id), QStringLiteral("3,1,0"));
    CameraSettings stored;
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.whitening, 80);
    QVERIFY(!stored.whitening_enable);
    f.w<QCheckBox>("checkBox_skinwhite")->click();
    QCOMPARE(f.filterLevels(id), QStringLiteral("3,1,8"));
    QVERIFY(f.w<QSlider>("skinwhiteSlider")->isEnabled());

    // The slim box switches the slim effect off and on.
    f.w<QSlider>("slimSlider")->setValue(50);
    f.w<QCheckBox>("checkBox_slim")->click();
    QVERIFY(qAbs(f.cameraItem()->aspect - 1280.0 / 720) < 1e-5);
    f.w<QCheckBox>("checkBox_slim")->click();
    QVERIFY(qAbs(f.cameraItem()->aspect - (1280.0 / 720 - 0.15)) < 1e-5);
}

void CameraPageTest::oneKeyBeautyAndRestore()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    f.w<QSlider>("slimSlider")->setValue(12);
    f.w<QCheckBox>("checkBox_exfoliat")->click(); // smoothing off
    int logStart = PageFixture::logSize();
    f.w<QPushButton>("KeyBeautyBtn")->click();
    QCOMPARE(PageFixture::analyticsSince(logStart), QStringList{"click_home_beauty {}"});
    const CameraSettings &s = f.page->cameraSettings();
    QCOMPARE(s.whitening, 60);
    QCOMPARE(s.blur, 50);
    QCOMPARE(s.colour_temperature, 30);
    QCOMPARE(s.slim, 12);
    QCOMPARE(s.index_beauty, 1);
    QCOMPARE(f.w<QSlider>("exfoliatSLider")->value(), 50);
    QCOMPARE(f.w<QLabel>("label_skinwhiteValue")->text(), QStringLiteral("60"));
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,3,6"));
    CameraSettings stored;
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.index_beauty, 1);
    QCOMPARE(stored.blur, 50);

    logStart = PageFixture::logSize();
    emit f.w<QLabel>("label_restore")->linkActivated(QString());
    QCOMPARE(PageFixture::analyticsSince(logStart), QStringList{"click_home_normal {}"});
    QCOMPARE(s.whitening, 0);
    QCOMPARE(s.blur, 0);
    QCOMPARE(s.colour_temperature, 0);
    QCOMPARE(s.slim, 12);
    QCOMPARE(s.index_beauty, 0);
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,0,0"));
    QVERIFY(f.store->getCameraConfig(stored));
    QCOMPARE(stored.index_beauty, 0);

    // The restore slot answers to its name, as the link's connection calls it.
    f.w<QPushButton>("KeyBeautyBtn")->click();
    QCOMPARE(s.index_beauty, 1);
    logStart = PageFixture::logSize();
    QVERIFY(QMetaObject::invokeMethod(f.page, "on_restoreBtn_clicked"));
    QCOMPARE(PageFixture::analyticsSince(logStart), QStringList{"click_home_normal {}"});
    QCOMPARE(s.index_beauty, 0);
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,0,0"));
}

void CameraPageTest::analyticsReachTheHost()
{
    testsupport::HttpStub::trustTestCertificate();
    testsupport::HttpStub host(testsupport::HttpStub::Tls);
    host.route("POST", "/deliver/tide2", testsupport::HttpResponse::json(R"({"error":0})"));
    testsupport::ScopedHosts hosts(QJsonObject{{"analytics", host.hostPort()}});
    PageFixture f;
    f.openPage();
    f.w<QPushButton>("KeyBeautyBtn")->click();
    f.page->slot_onSetEffect(3);
    emit f.w<QLabel>("label_restore")->linkActivated(QString());
    QTRY_COMPARE(host.requestCount(), 3);
    QStringList sent;
    for (const testsupport::HttpRequest &r : host.requests()) {
        const QByteArray body = r.body;
        QVERIFY(body.startsWith("multi=") && body.endsWith("&v=1.0"));
        const QJsonObject record =
            QJsonDocument::fromJson(QByteArray::fromBase64(body.mid(6, body.size() - 12))).object();
        sent << record.value("ac").toString() + QLatin1Char(' ') +
                    QJsonDocument(record.value("e").toObject()).toJson(QJsonDocument::Compact);
    }
    // Each record goes on its own request, so they may arrive in any order.
    sent.sort();
    QCOMPARE(sent, (QStringList{"click_home_beauty {}", "click_home_filter {\"filt_id\":4}", "click_home_normal {}"}));
}

void CameraPageTest::recordIsPushedInOrderToANewCamera()
{
    PageFixture f;
    PageFixture::writeSettings(
        fileWith(cameraSection(40, 60, 20, 30, true, false, true, true, true, false, 5, 1, 1, 1280, 720, 0)));
    f.openPage();
    f.choose(kUsb, kUsb720);
    castcore::control().log().clear();
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    const std::vector<std::string> order =
        f.ops({"SetItemAspect", "SetItemColorEffect", "SetItemRotation", "SetCameraParams", "SetItemRect"});
    QCOMPARE(order, (std::vector<std::string>{"SetCameraParams", "SetItemRect", "SetItemAspect",
                                               "SetItemColorEffect", "SetItemRotation", "SetItemRotation"}));
    QCOMPARE(f.callsOf("SetItemRotation"),
             (QStringList{QString("SetItemRotation(%1,3.1415927,1)").arg(id), QString("SetItemRotation(%1,0,0)").arg(id)}));
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0x341032));
    QVERIFY(qAbs(f.cameraItem()->aspect - (1280.0 / 720 - 0.12)) < 1e-5);
    // Whitening is off: only smoothing and skin colour reach the filter.
    QCOMPARE(f.filterLevels(id), QStringLiteral("2,3,0"));
    QVERIFY(f.w<QCheckBox>("horizontalflipCheck")->isChecked());
    QVERIFY(!f.w<QCheckBox>("verticalflipCheck")->isChecked());
}

void CameraPageTest::effectReachesTheCameraAsColourEffect()
{
    PageFixture f;
    f.openPage();
    int logStart = PageFixture::logSize();
    f.page->slot_onSetEffect(4); // no camera yet: stored, reported
    QCOMPARE(PageFixture::analyticsSince(logStart), QStringList{"click_home_filter {\"filt_id\":5}"});
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0x1E3E3E));
    logStart = PageFixture::logSize();
    f.page->slot_onSetEffect(7);
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0xDC3C48));
    f.page->slot_onSetEffect(-1);
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0));
    QCOMPARE(PageFixture::analyticsSince(logStart), QStringList{"click_home_filter {\"filt_id\":8}"});
    QCOMPARE(f.page->cameraSettings().effect, -1);

    // The picker's own signal reaches the page.
    QTest::mouseClick(f.page->effectPicker()->findChild<QTableWidget *>()->cellWidget(0, 1), Qt::LeftButton);
    QCOMPARE(f.page->cameraSettings().effect, 1);
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0x4C3C32));
}

void CameraPageTest::flipsBothWays()
{
    PageFixture f;
    MvListener listener;
    f.proxy->setListener(&listener);
    f.openPage();
    QObject::connect(&listener, SIGNAL(signal_notifyCameraTurnStatus(bool, bool)), f.page,
                     SLOT(slot_onCameraTurnStatus(bool, bool)), Qt::QueuedConnection);
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    auto *mirror = f.w<QCheckBox>("horizontalflipCheck");
    auto *flip = f.w<QCheckBox>("verticalflipCheck");
    QTest::mouseClick(mirror, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(mirror->isChecked());
    QVERIFY(f.proxy->isItemMirrored(id));
    QTest::mouseClick(flip, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(f.proxy->isItemFlipped(id));
    QTest::mouseClick(mirror, Qt::LeftButton, {}, QPoint(5, 5));
    QVERIFY(!f.proxy->isItemMirrored(id));
    QVERIFY(!f.page->cameraSettings().turn_h);
    QVERIFY(f.page->cameraSettings().turn_v);

    // Turned elsewhere; the engine reports it from its own thread.
    f.proxy->setItemMirrored(id, true);
    f.proxy->setItemFlipped(id, false);
    QVERIFY(f.engine()->fireItemEvent(3, id));
    QTRY_VERIFY(mirror->isChecked());
    QTRY_VERIFY(!flip->isChecked());
    QVERIFY(f.page->cameraSettings().turn_h);
    QVERIFY(!f.page->cameraSettings().turn_v);
    CameraSettings stored;
    QVERIFY(f.store->getCameraConfig(stored));
    QVERIFY(stored.turn_h);
    QVERIFY(!stored.turn_v);
    f.proxy->setListener(nullptr);
}

void CameraPageTest::eachFlipAlone_data()
{
    QTest::addColumn<bool>("vertical");
    QTest::newRow("mirror") << false;
    QTest::newRow("vertical flip") << true;
}

void CameraPageTest::eachFlipAlone()
{
    QFETCH(bool, vertical);
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb720);
    f.openButton()->click();
    const int id = f.page->cameraItemId();
    QVERIFY(id > 0);
    QVERIFY(!f.proxy->isItemMirrored(id));
    QVERIFY(!f.proxy->isItemFlipped(id));
    auto *box = f.w<QCheckBox>(vertical ? "verticalflipCheck" : "horizontalflipCheck");
    // The other turn stays off, so the flag sent must be this box's own.
    for (const bool on : {true, false}) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(box->isChecked(), on);
        QCOMPARE(f.proxy->isItemFlipped(id), vertical && on);
        QCOMPARE(f.proxy->isItemMirrored(id), !vertical && on);
        QCOMPARE(f.page->cameraSettings().turn_v, vertical && on);
        QCOMPARE(f.page->cameraSettings().turn_h, !vertical && on);
        CameraSettings stored;
        QVERIFY(f.store->getCameraConfig(stored));
        QCOMPARE(stored.turn_v, vertical && on);
        QCOMPARE(stored.turn_h, !vertical && on);
    }
}

// ---- restart ----------------------------------------------------------------

void CameraPageTest::everythingReturnsAfterARestart()
{
    PageFixture f;
    f.openPage();
    f.choose(kUsb, kUsb540);
    f.openButton()->click();
    f.w<QSlider>("skinwhiteSlider")->setValue(45);
    f.w<QCheckBox>("checkBox_colorTemperature")->click();
    f.w<QPushButton>("ordinaryclarityBtn")->click();
    f.w<QCheckBox>("verticalflipCheck")->click();
    f.page->slot_onSetEffect(6);
    f.closePage();
    QVERIFY(f.restartScene());

    f.openPage();
    const int id = f.page->cameraItemId();
    QVERIFY(id > 0);
    QCOMPARE(f.cameraItems(), std::vector<int>{id});
    QCOMPARE(f.formats()->currentText(), kUsb540);
    QCOMPARE(f.cameraItem()->cameraParams.width, 960);
    QCOMPARE(f.w<QSlider>("skinwhiteSlider")->value(), 45);
    QVERIFY(!f.w<QCheckBox>("checkBox_colorTemperature")->isChecked());
    QCOMPARE(clarityShown(f), 0);
    // The workspace starts the scene with the clarity the store holds.
    QCOMPARE(f.store->cameraResolutionIndex(), 0);
    QVERIFY(f.w<QCheckBox>("verticalflipCheck")->isChecked());
    QVERIFY(f.proxy->isItemFlipped(id));
    QCOMPARE(f.cameraItem()->colorEffect, uint32_t(0x661EF6));
    QCOMPARE(f.page->effectPicker()->currentPosition(), 6);
    QCOMPARE(f.filterLevels(id), QStringLiteral("0,0,4.5"));
}

QTEST_MAIN(CameraPageTest)
#include "tst_camerapage.moc"
