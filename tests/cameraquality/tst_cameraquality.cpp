// The camera quality dialog over the camera helper layer: widgets from the
// ranges and modes read, the exact sets each control sends, keep points
// (Apply, page switch, defaults), revert on close and Escape, OK, a missing
// helper, and the dialog's end.

#include "CameraPageFixture.h"

#include "CamAssist.h"
#include "CurrentDialog.h"
#include "UiCameraQuality.h"
#include "UiToolTipDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

using camassist::CameraProperty;
using testsupport::LogCapture;

namespace {

const QString kCam = QStringLiteral("Quality Cam 摄像头");

// Fields: min, max, step, default, caps, value, flags.
// Brightness manual without an automatic mode, contrast automatic, no hue,
// saturation manual, sharpness manual, no gamma, colour enable automatic,
// white balance automatic, no backlight compensation, gain with flags 0;
// zoom manual, exposure automatic, focus manual; no pan, tilt, roll, iris.
camassist::CameraDevice qualityCamera()
{
    camassist::CameraDevice d;
    d.name = kCam.toStdU16String();
    d.videoProcAmp[0] = CameraProperty{-64, 64, 1, 0, 2, 10, 2};
    d.videoProcAmp[1] = CameraProperty{0, 100, 1, 50, 3, 40, 1};
    d.videoProcAmp[3] = CameraProperty{0, 200, 5, 100, 3, 120, 2};
    d.videoProcAmp[4] = CameraProperty{0, 7, 1, 3, 2, 3, 2};
    d.videoProcAmp[6] = CameraProperty{0, 1, 1, 1, 3, 1, 1};
    d.videoProcAmp[7] = CameraProperty{2800, 6500, 10, 4600, 3, 4000, 1};
    d.videoProcAmp[9] = CameraProperty{0, 255, 1, 0, 2, 0, 0};
    d.cameraControl[3] = CameraProperty{100, 500, 10, 100, 2, 150, 2};
    d.cameraControl[4] = CameraProperty{-13, -1, 1, -6, 3, -5, 1};
    d.cameraControl[6] = CameraProperty{0, 250, 5, 0, 3, 30, 2};
    return d;
}

struct Fixture
{
    Fixture()
    {
        camassist::reset();
        camassist::setCameras({qualityCamera()});
    }
    ~Fixture() { camassist::reset(); }

    // Every Set the helper received, in order: "V|C property value flags".
    static QStringList sets()
    {
        QStringList out;
        for (const mvplatform::CallRecord &r : camassist::callLog().all()) {
            if (r.op != "SetVideoProcAmp" && r.op != "SetCameraControl")
                continue;
            out << QString("%1 %2 %3 %4")
                       .arg(r.op == "SetVideoProcAmp" ? "V" : "C")
                       .arg(QString::fromStdString(r.args.at(1)), QString::fromStdString(r.args.at(2)),
                            QString::fromStdString(r.args.at(3)));
        }
        return out;
    }
    static void clearLog() { const_cast<mvplatform::CallLog &>(camassist::callLog()).clear(); }

    testsupport::TempEnvironment env;
};

template <class T>
T *child(QWidget &dialog, const QString &name)
{
    T *w = dialog.findChild<T *>(name);
    if (!w)
        qWarning("no widget %s", qPrintable(name));
    return w;
}

QSlider *slider(QWidget &d, const char *name) { return child<QSlider>(d, QString("horizontalSlider_") + name); }
QCheckBox *autoBox(QWidget &d, const char *name) { return child<QCheckBox>(d, QString("checkBox_") + name); }
QLineEdit *valueBox(QWidget &d, const char *name) { return child<QLineEdit>(d, QString("lineEdit_") + name); }
void press(QWidget &d, const char *button) { child<QPushButton>(d, button)->click(); }

} // namespace

class CameraQualityTest : public QObject
{
    Q_OBJECT

private slots:
    void framelessWithItsRows();
    void widgetsFollowTheRangesAndModesRead();
    void initLogsEveryRowWithASlider();
    void sliderAndAutoBoxSendAtOnce();
    void closeRevertsWhatWasNotKept();
    void applyKeepsOnlyWhatCameBefore();
    void pageSwitchKeepsLikeApply();
    void defaultsSendManualDefaultsAndKeepThem();
    void okKeepsEverything();
    void escapeRevertsLikeTheCloseButton();
    void missingHelperOrNameReadsNothing();
    void endReleasesTheHelperAndClearsOnlyItsOwnPointer();
    void cameraPageOpensTheDialogOnItsCamera();
    void cameraPageShowsNothingWithoutAHelper();
};

void CameraQualityTest::framelessWithItsRows()
{
    Fixture f;
    UiCameraQuality d;
    QVERIFY(d.windowFlags().testFlag(Qt::SplashScreen));
    QCOMPARE(d.windowTitle(), QStringLiteral("属性"));
    QCOMPARE(d.size(), QSize(525, 410));
    QVERIFY(d.findChild<QTabWidget *>("tabWidget")->tabBar()->isHidden());
    QVERIFY(child<QCheckBox>(d, "checkBox_LowBrightnessCompensation")->isHidden());
    QCOMPARE(child<QCheckBox>(d, "checkBox_ColorEnable")->text(), QStringLiteral("启动颜色"));
    QCOMPARE(child<QLabel>(d, "label_BacklightCompensation")->text(), QStringLiteral("逆光对比（B）"));
    QCOMPARE(child<QLabel>(d, "label_Focus")->text(), QStringLiteral("焦点（F）"));
    // Control rows from the top: zoom, focus, exposure, iris, pan, tilt, roll.
    int y = -1;
    for (const char *name : {"Zoom", "Focus", "Exposure", "Iris", "Pan", "Tilt", "Roll"}) {
        QVERIFY2(slider(d, name)->y() > y, name);
        y = slider(d, name)->y();
    }
    QCOMPARE(UiCameraQuality::VideoProcAmpName(8), "VPAT_BacklightCompensation");
    QCOMPARE(UiCameraQuality::VideoProcAmpName(10), "Unknown");
    QCOMPARE(UiCameraQuality::CameraControlName(-1), "Unknown");
    QCOMPARE(UiCameraQuality::CameraControlName(5), "CCT_Iris");
    // Before any read every row is off.
    QVERIFY(!slider(d, "Brightness")->isEnabled());
    QVERIFY(!child<QLabel>(d, "label_Zoom")->isEnabled());
}

void CameraQualityTest::widgetsFollowTheRangesAndModesRead()
{
    Fixture f;
    UiCameraQuality d;
    QCOMPARE(d.InitCamera(kCam), 0);
    // Manual, no automatic mode.
    QVERIFY(slider(d, "Brightness")->isEnabled());
    QCOMPARE(slider(d, "Brightness")->minimum(), -64);
    QCOMPARE(slider(d, "Brightness")->maximum(), 64);
    QCOMPARE(slider(d, "Brightness")->value(), 10);
    QCOMPARE(valueBox(d, "Brightness")->text(), QStringLiteral("10"));
    QVERIFY(!autoBox(d, "Brightness")->isEnabled());
    QVERIFY(!autoBox(d, "Brightness")->isChecked());
    // Automatic.
    QVERIFY(!slider(d, "Contrast")->isEnabled());
    QVERIFY(autoBox(d, "Contrast")->isEnabled());
    QVERIFY(autoBox(d, "Contrast")->isChecked());
    QCOMPARE(valueBox(d, "Contrast")->text(), QStringLiteral("40"));
    // Unsupported.
    QVERIFY(!child<QLabel>(d, "label_Hue")->isEnabled());
    QVERIFY(!slider(d, "Hue")->isEnabled());
    QVERIFY(!autoBox(d, "Hue")->isEnabled());
    QVERIFY(!slider(d, "Pan")->isEnabled());
    // Step and range; flags 0 reads as manual.
    QCOMPARE(slider(d, "Saturation")->singleStep(), 5);
    QCOMPARE(slider(d, "WhiteBalance")->value(), 4000);
    QCOMPARE(valueBox(d, "WhiteBalance")->text(), QStringLiteral("4000"));
    QVERIFY(slider(d, "Gain")->isEnabled());
    QVERIFY(!autoBox(d, "Gain")->isChecked());
    QVERIFY(autoBox(d, "ColorEnable")->isEnabled());
    QVERIFY(autoBox(d, "ColorEnable")->isChecked());
    QCOMPARE(slider(d, "Exposure")->minimum(), -13);
    QCOMPARE(valueBox(d, "Exposure")->text(), QStringLiteral("-5"));
    QVERIFY(autoBox(d, "Exposure")->isChecked());
    const CameraPropertyItem &zoom = d.cameraItems().at(3);
    QCOMPARE(zoom.defaultValue, 100);
    QCOMPARE(zoom.keptValue, 150);
    QVERIFY(zoom.valid);
    QVERIFY(!zoom.autoCapable);
    QVERIFY(!d.cameraItems().at(0).valid);
    QCOMPARE(Fixture::sets(), QStringList());
    // The colour enable box sets nothing.
    autoBox(d, "ColorEnable")->click();
    QCOMPARE(Fixture::sets(), QStringList());
}

void CameraQualityTest::initLogsEveryRowWithASlider()
{
    Fixture f;
    const int from = LogCapture::texts().size();
    UiCameraQuality d;
    QCOMPARE(d.InitCamera(kCam), 0);
    const QStringList log = LogCapture::texts().mid(from);
    QCOMPARE(log.size(), 16);
    QCOMPARE(log.at(0), QStringLiteral("init, get camera Quality : type VPAT_Brightness, flag 2, step 1, "
                                       "current-val 10, use-auto? 0."));
    QCOMPARE(log.at(1), QStringLiteral("init, get camera Quality : type VPAT_Contrast, flag 3, step 1, "
                                       "current-val 40, use-auto? 1."));
    // Unsupported rows log what the record holds: zeros.
    QCOMPARE(log.at(2), QStringLiteral("init, get camera Quality : type VPAT_Hue, flag 0, step 0, "
                                       "current-val 0, use-auto? 0."));
    QCOMPARE(log.at(6), QStringLiteral("init, get camera Quality : type VPAT_WhiteBalance, flag 3, step 10, "
                                       "current-val 4000, use-auto? 1."));
    QCOMPARE(log.at(13), QStringLiteral("init, get camera CCT : type CCT_Exposure, flag 3, step 1, "
                                        "current-val -5, use-auto? 1."));
    QCOMPARE(camassist::callLog().count("GetVideoProcAmp"), 10);
    QCOMPARE(camassist::callLog().count("GetCameraControl"), 7);
}

void CameraQualityTest::sliderAndAutoBoxSendAtOnce()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    const int from = LogCapture::texts().size();
    slider(d, "Brightness")->setValue(20);
    QCOMPARE(valueBox(d, "Brightness")->text(), QStringLiteral("20"));
    slider(d, "Focus")->setValue(45);
    autoBox(d, "Contrast")->click(); // to manual
    QVERIFY(slider(d, "Contrast")->isEnabled());
    autoBox(d, "Focus")->click(); // to automatic
    QVERIFY(!slider(d, "Focus")->isEnabled());
    QCOMPARE(Fixture::sets(), (QStringList{"V 0 20 2", "C 6 45 2", "V 1 40 2", "C 6 45 1"}));
    const QStringList log = LogCapture::texts().mid(from);
    QCOMPARE(log.first(), QStringLiteral("set camera Quality : type VPAT_Brightness, val (20) flag (2)."));
    QCOMPARE(log.at(1), QStringLiteral("set camera CCT : type CCT_Focus, val (45) flag (2)."));
    QCOMPARE(camassist::property(kCam.toStdU16String(), camassist::CameraControl, 6)->flags, 1);
}

void CameraQualityTest::closeRevertsWhatWasNotKept()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    d.show();
    slider(d, "Saturation")->setValue(150);
    slider(d, "Saturation")->setValue(180);
    autoBox(d, "WhiteBalance")->click();
    slider(d, "Zoom")->setValue(300);
    Fixture::clearLog();
    press(d, "closebutton");
    QVERIFY(!d.isVisible());
    // Image rows first, then control rows; each once, to its keep point.
    QCOMPARE(Fixture::sets(), (QStringList{"V 3 120 2", "V 7 4000 1", "C 3 150 2"}));
    QCOMPARE(camassist::property(kCam.toStdU16String(), camassist::VideoProcAmp, 3)->value, 120);
}

void CameraQualityTest::applyKeepsOnlyWhatCameBefore()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    d.show();
    slider(d, "Brightness")->setValue(30);
    press(d, "pushButton_Apply");
    slider(d, "Brightness")->setValue(-5);
    slider(d, "Gain")->setValue(7);
    Fixture::clearLog();
    press(d, "closebutton");
    QCOMPARE(Fixture::sets(), (QStringList{"V 0 30 2", "V 9 0 2"}));
}

void CameraQualityTest::pageSwitchKeepsLikeApply()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    d.show();
    auto *tabs = d.findChild<QTabWidget *>("tabWidget");
    QVERIFY(child<QPushButton>(d, "pushButton_DefaultValue")->isVisible());
    QVERIFY(!child<QPushButton>(d, "pushButton_DefaultValue_cct")->isVisible());
    slider(d, "Sharpness")->setValue(6);
    press(d, "pushButton_tabcamera");
    QCOMPARE(tabs->currentIndex(), 1);
    QVERIFY(!child<QPushButton>(d, "pushButton_DefaultValue")->isVisible());
    QVERIFY(child<QPushButton>(d, "pushButton_DefaultValue_cct")->isVisible());
    QVERIFY(child<QPushButton>(d, "pushButton_tabcamera")->styleSheet().contains("background:#ebecf0"));
    QVERIFY(child<QPushButton>(d, "pushButton_tabvideo")->styleSheet().contains("background:#f9f9f9"));
    slider(d, "Zoom")->setValue(200);
    press(d, "pushButton_tabvideo");
    QCOMPARE(tabs->currentIndex(), 0);
    slider(d, "Sharpness")->setValue(1);
    Fixture::clearLog();
    press(d, "closebutton");
    QCOMPARE(Fixture::sets(), QStringList{"V 4 6 2"});
}

void CameraQualityTest::defaultsSendManualDefaultsAndKeepThem()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    d.show();
    Fixture::clearLog();
    press(d, "pushButton_DefaultValue");
    // Manual rows get their default (twice where the slider moves); rows in
    // automatic mode are left alone.
    QCOMPARE(Fixture::sets(), (QStringList{"V 0 0 2", "V 0 0 2", "V 3 100 2", "V 3 100 2", "V 4 3 2", "V 9 0 2"}));
    QCOMPARE(slider(d, "Brightness")->value(), 0);
    QCOMPARE(valueBox(d, "Saturation")->text(), QStringLiteral("100"));
    Fixture::clearLog();
    press(d, "pushButton_DefaultValue_cct");
    QCOMPARE(Fixture::sets(), (QStringList{"C 3 100 2", "C 3 100 2", "C 6 0 2", "C 6 0 2"}));
    // The defaults are the keep point: closing undoes nothing of them.
    Fixture::clearLog();
    press(d, "closebutton");
    QCOMPARE(Fixture::sets(), QStringList());
}

void CameraQualityTest::okKeepsEverything()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    d.show();
    slider(d, "Brightness")->setValue(33);
    autoBox(d, "Exposure")->click();
    Fixture::clearLog();
    press(d, "pushButton_Ok");
    QVERIFY(!d.isVisible());
    QCOMPARE(Fixture::sets(), QStringList());
    QCOMPARE(camassist::property(kCam.toStdU16String(), camassist::VideoProcAmp, 0)->value, 33);
}

void CameraQualityTest::escapeRevertsLikeTheCloseButton()
{
    Fixture f;
    UiCameraQuality d;
    d.InitCamera(kCam);
    testsupport::ModalDriver driver;
    driver.onNext([](QWidget *w) {
        w->findChild<QSlider *>("horizontalSlider_Brightness")->setValue(40);
        w->findChild<QSlider *>("horizontalSlider_Focus")->setValue(100);
        Fixture::clearLog();
        QTest::keyClick(w, Qt::Key_Escape);
    });
    d.exec();
    QVERIFY(driver.waitDone());
    QVERIFY(!d.isVisible());
    QCOMPARE(Fixture::sets(), (QStringList{"V 0 10 2", "C 6 30 2"}));
}

void CameraQualityTest::missingHelperOrNameReadsNothing()
{
    Fixture f;
    {
        UiCameraQuality d;
        QCOMPARE(d.InitCamera(QString()), -1);
        QCOMPARE(camassist::callLog().count("GetVideoProcAmp"), 0);
    }
    camassist::failNextCreate(1);
    UiCameraQuality d;
    QCOMPARE(camassist::liveHelpers(), 0);
    QCOMPARE(d.InitCamera(kCam), -1);
    QCOMPARE(camassist::callLog().count("GetVideoProcAmp"), 0);
    QVERIFY(!slider(d, "Brightness")->isEnabled());
    d.show();
    press(d, "pushButton_DefaultValue");
    press(d, "closebutton");
    QCOMPARE(Fixture::sets(), QStringList());
}

void CameraQualityTest::endReleasesTheHelperAndClearsOnlyItsOwnPointer()
{
    Fixture f;
    {
        UiCameraQuality d;
        QCOMPARE(camassist::liveHelpers(), 1);
        d.InitCamera(kCam);
        QPointer<QDialog> seen;
        testsupport::ModalDriver driver;
        driver.onNext([&](QWidget *w) {
            seen = currentDialog;
            testsupport::ModalDriver::press(w, "pushButton_Ok");
        });
        d.exec();
        QVERIFY(driver.waitDone());
        QCOMPARE(seen.data(), &d);
        // Not cleared when exec returns.
        QCOMPARE(currentDialog.data(), &d);
    }
    QVERIFY(currentDialog.isNull());
    QCOMPARE(camassist::liveHelpers(), 0);
    QCOMPARE(camassist::callLog().count("Release"), 1);

    // A box that ran since owns the pointer: the dialog's end leaves it.
    UiToolTipDialog other(QStringLiteral("x"));
    {
        UiCameraQuality d;
        testsupport::ModalDriver driver;
        driver.pressNext("pushButton_Ok");
        d.exec();
        QVERIFY(driver.waitDone());
        currentDialog = &other;
    }
    QCOMPARE(currentDialog.data(), &other);
    currentDialog = nullptr;
}

void CameraQualityTest::cameraPageOpensTheDialogOnItsCamera()
{
    camerapage::PageFixture f;
    camassist::reset();
    f.openPage();
    f.choose(QStringLiteral("USB 摄像头"), QStringLiteral("YUY2, 1280x720, 30FPS"));
    f.openButton()->click();
    const int from = testsupport::FacadeFixture::logSize();
    const int helpers = camassist::liveHelpers(); // the facade keeps its own
    testsupport::ModalDriver driver;
    QString title;
    driver.onNext([&](QWidget *w) {
        title = w->windowTitle();
        testsupport::ModalDriver::press(w, "closebutton");
    });
    f.w<QPushButton>("pushButton_ImageQuality")->click();
    QVERIFY(driver.waitDone());
    QCOMPARE(title, QStringLiteral("属性"));
    QCOMPARE(camerapage::PageFixture::analyticsSince(from), QStringList{"click_home_imgadj {}"});
    QCOMPARE(camassist::callLog().last("GetVideoProcAmp")->args.at(0), std::string("USB 摄像头"));
    QCOMPARE(camassist::liveHelpers(), helpers);
}

void CameraQualityTest::cameraPageShowsNothingWithoutAHelper()
{
    camerapage::PageFixture f;
    camassist::reset();
    f.openPage();
    // No camera in the scene: nothing at all.
    f.w<QPushButton>("pushButton_ImageQuality")->click();
    QCOMPARE(camassist::callLog().count("CreateDShowInstance"), 0);
    f.choose(QStringLiteral("USB 摄像头"), QStringLiteral("YUY2, 1280x720, 30FPS"));
    f.openButton()->click();
    camassist::failNextCreate(1);
    const int from = testsupport::FacadeFixture::logSize();
    f.w<QPushButton>("pushButton_ImageQuality")->click();
    QCOMPARE(camassist::callLog().count("CreateDShowInstance"), 1);
    QVERIFY(camerapage::PageFixture::analyticsSince(from).isEmpty());
    QVERIFY(f.watchdog.ended().isEmpty());
}

QTEST_MAIN(CameraQualityTest)
#include "tst_cameraquality.moc"
