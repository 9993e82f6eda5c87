// The source tab container: its form, the four pages behind the side tabs,
// one page shown at a time with only its tab in the selected look, the
// pages' item signals passed on unchanged and the store reaching the camera
// page.

#include "MvSideButton.h"
#include "SysConfig.h"
#include "TempEnvironment.h"
#include "UiSetBeauty.h"
#include "UiSetCaptureScreen.h"
#include "UiSetPicture.h"
#include "UiSetSubtitle.h"
#include "UiSetting.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

using testsupport::TempEnvironment;

namespace {

const char *const kButtons[] = {"pushButton_beauty", "pushButton_addpic", "pushButton_effectsubtitle",
                                "pushButton_capturescreen"};

MvSideButton *tab(UiSetting &s, int i)
{
    return s.findChild<MvSideButton *>(QString::fromLatin1(kButtons[i]));
}

QList<QWidget *> pages(UiSetting &s)
{
    return {s.getSetBeauty(), s.getSetPicture(), s.getSetSubtitle(), s.getSetCaptureScreen()};
}

// Only page `shown` is visible and only its tab looks selected.
void checkOnlySelected(UiSetting &s, int shown)
{
    const QList<QWidget *> all = pages(s);
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(all[i]->isVisibleTo(&s), i == shown);
        QCOMPARE(tab(s, i)->CheckedLook(), i == shown);
    }
    QCOMPARE(s.currentIndex(), shown);
}

QImage rendered(QWidget *w)
{
    QImage img(w->size(), QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    w->render(&img, QPoint(), QRegion(), QWidget::RenderFlags());
    return img;
}

} // namespace

class SourceTabsTest : public QObject
{
    Q_OBJECT

private slots:
    void formAndPages();
    void tabPicturesAreServed();
    void cameraTabIsSelectedAtFirst();
    void selectedTabShowsItsActivePicture();
    void clickingTabsShowsOnePage_data();
    void clickingTabsShowsOnePage();
    void captureThenCameraLeavesOnlyTheCamera();
    void pageSignalsPassUnchanged();
    void storeReachesTheCameraPage();
};

void SourceTabsTest::formAndPages()
{
    UiSetting s;
    QCOMPARE(s.objectName(), QStringLiteral("UiSetting"));
    QCOMPARE(s.size(), QSize(352, 740));
    auto *sel = s.findChild<QWidget *>(QStringLiteral("widget_page_sel"));
    QVERIFY(sel);
    QCOMPARE(sel->metaObject()->className(), "MvPageLineWidget");
    QCOMPARE(sel->geometry(), QRect(0, 0, 88, 740));
    auto *area = s.findChild<QWidget *>(QStringLiteral("page_widget"));
    QVERIFY(area);
    QCOMPARE(area->geometry(), QRect(88, 0, 264, 740));
    for (QWidget *page : pages(s)) {
        QVERIFY(page);
        QCOMPARE(page->parentWidget(), area);
    }

    const int tops[] = {42, 178, 310, 442};
    const QString texts[] = {QStringLiteral("摄像头"), QStringLiteral("插入图片"), QStringLiteral("字幕特效"),
                             QStringLiteral("截取屏幕")};
    for (int i = 0; i < 4; ++i) {
        MvSideButton *b = tab(s, i);
        QVERIFY(b);
        QCOMPARE(b->parentWidget(), sel);
        QCOMPARE(b->geometry(), QRect(0, tops[i], 88, 60));
        QCOMPARE(b->text(), texts[i]);
    }
}

void SourceTabsTest::tabPicturesAreServed()
{
    const char *names[] = {"beauty", "picsetting", "fontsetting", "snotscreen"};
    for (const char *n : names) {
        for (const char *suffix : {".png", "_a.png"}) {
            const QString path = QStringLiteral(":/image/skin/") + QLatin1String(n) + QLatin1String(suffix);
            QVERIFY2(!QPixmap(path).isNull(), qPrintable(path));
        }
    }
}

void SourceTabsTest::cameraTabIsSelectedAtFirst()
{
    UiSetting s;
    checkOnlySelected(s, 0);
}

void SourceTabsTest::selectedTabShowsItsActivePicture()
{
    UiSetting s;
    const char *pictures[][2] = {{":/image/skin/beauty.png", ":/image/skin/beauty_a.png"},
                                 {":/image/skin/picsetting.png", ":/image/skin/picsetting_a.png"},
                                 {":/image/skin/fontsetting.png", ":/image/skin/fontsetting_a.png"},
                                 {":/image/skin/snotscreen.png", ":/image/skin/snotscreen_a.png"}};
    QTest::mouseClick(tab(s, 2), Qt::LeftButton);
    for (int i = 0; i < 4; ++i) {
        // A side button given the pictures of the table paints the same.
        MvSideButton reference;
        reference.resize(88, 60);
        reference.setText(tab(s, i)->text());
        reference.SetPictures(QString::fromLatin1(pictures[i][0]), QString::fromLatin1(pictures[i][1]));
        reference.SetCheckedLook(i == 2);
        QCOMPARE(rendered(tab(s, i)), rendered(&reference));
    }
    // The active picture differs from the normal one.
    MvSideButton normal;
    normal.resize(88, 60);
    normal.setText(tab(s, 2)->text());
    normal.SetPictures(QString::fromLatin1(pictures[2][0]), QString::fromLatin1(pictures[2][1]));
    QVERIFY(rendered(&normal) != rendered(tab(s, 2)));
}

void SourceTabsTest::clickingTabsShowsOnePage_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("摄像头") << 0;
    QTest::newRow("插入图片") << 1;
    QTest::newRow("字幕特效") << 2;
    QTest::newRow("截取屏幕") << 3;
}

void SourceTabsTest::clickingTabsShowsOnePage()
{
    QFETCH(int, index);
    UiSetting s;
    QTest::mouseClick(tab(s, 3 - index), Qt::LeftButton);
    QTest::mouseClick(tab(s, index), Qt::LeftButton);
    checkOnlySelected(s, index);
    // The tab already shown shows the same page again.
    QTest::mouseClick(tab(s, index), Qt::LeftButton);
    checkOnlySelected(s, index);
}

void SourceTabsTest::captureThenCameraLeavesOnlyTheCamera()
{
    UiSetting s;
    QTest::mouseClick(tab(s, 3), Qt::LeftButton);
    checkOnlySelected(s, 3);
    QTest::mouseClick(tab(s, 0), Qt::LeftButton);
    checkOnlySelected(s, 0);
}

void SourceTabsTest::pageSignalsPassUnchanged()
{
    UiSetting s;
    QSignalSpy added(&s, &UiSetting::add_screenitem);
    QSignalSpy removed(&s, &UiSetting::del_screenitem);

    emit s.getSetPicture()->add_screenitem(QStringLiteral("/图片/a.png"), QStringLiteral("picture"), 7);
    emit s.getSetSubtitle()->add_subtitle(QStringLiteral("/字幕/t.png"), QStringLiteral("字幕"), 9);
    emit s.getSetPicture()->del_screenitem(7);
    emit s.getSetSubtitle()->del_subtitle(9);
    // These two go to the workspace directly, not through the container.
    emit s.getSetPicture()->del_imageitem(11);
    emit s.getSetCaptureScreen()->add_captureitem(QStringLiteral("c.png"), QStringLiteral("手动截取"), 12);

    QCOMPARE(added.count(), 2);
    QCOMPARE(added.at(0), (QVariantList{QStringLiteral("/图片/a.png"), QStringLiteral("picture"), 7}));
    QCOMPARE(added.at(1), (QVariantList{QStringLiteral("/字幕/t.png"), QStringLiteral("字幕"), 9}));
    QCOMPARE(removed.count(), 2);
    QCOMPARE(removed.at(0), QVariantList{7});
    QCOMPARE(removed.at(1), QVariantList{9});
}

void SourceTabsTest::storeReachesTheCameraPage()
{
    TempEnvironment env;
    CameraSettings saved;
    saved.slim = 40;
    saved.whitening = 21;
    {
        SysConfig config;
        config.setCameraConfig(saved);
    }
    SysConfig config;
    UiSetting s;
    QCOMPARE(s.getSetBeauty()->cameraSettings().slim, CameraSettings().slim);
    s.setConfig(&config);
    QCOMPARE(s.getSetBeauty()->cameraSettings().slim, 40);
    QCOMPARE(s.getSetBeauty()->cameraSettings().whitening, 21);
}

QTEST_MAIN(SourceTabsTest)
#include "tst_sourcetabs.moc"
