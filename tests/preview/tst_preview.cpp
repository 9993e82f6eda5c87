// The preview panel on a started scene: mouse events reach the facade's
// editing with the panel's own coordinates, the item menu offers what the
// item allows and its actions restack, remove or configure the item, and the
// two editor slots put an item back or apply the edit.

#include "FacadeFixture.h"
#include "ImageOverlayInfo.h"
#include "MenuPicker.h"
#include "ModalDriver.h"
#include "TextOverlayInfo.h"
#include "UiVideo.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <memory>

using testsupport::FacadeFixture;
using testsupport::MenuPicker;
using testsupport::ModalDriver;
using testsupport::TextRecord;

namespace {

void send(QWidget *w, QEvent::Type type, Qt::MouseButton button, QPoint pos, Qt::MouseButtons held)
{
    QMouseEvent e(type, pos, w->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

QRect placement(LiveProxy *proxy, int id)
{
    int x = 0, y = 0, w = 0, h = 0;
    proxy->getItemRect(id, &x, &y, &w, &h);
    return QRect(x, y, w, h);
}

// A started scene (800 x 450 preview, 1280 x 720 canvas: 1.6 canvas pixels a
// preview pixel) with a preview panel over it. Events go to the preview
// surface, which covers the panel, as a real pointer's would.
struct PreviewScene
{
    FacadeFixture f;
    std::unique_ptr<UiVideo> video;
    QWidget *surface = nullptr;

    PreviewScene()
    {
        f.init();
        video = std::make_unique<UiVideo>();
        video->setLiveProxy(f.proxy.get());
        surface = video->findChild<QWidget *>(QStringLiteral("widget_preview"));
    }

    // A picture whose frame on the preview is 100,100 - 300,200.
    int picture()
    {
        const int id = f.proxy->addImage(f.picture(QStringLiteral("p.png"), 320, 160), 255, 3);
        f.proxy->setItemGeometry(id, 160, 160, 320, 160);
        return id;
    }

    void press(QPoint p, Qt::MouseButton b = Qt::LeftButton) { send(surface, QEvent::MouseButtonPress, b, p, b); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton)
    {
        send(surface, QEvent::MouseButtonRelease, b, p, Qt::NoButton);
    }
    void move(QPoint p, Qt::MouseButtons held = Qt::NoButton)
    {
        send(surface, QEvent::MouseMove, Qt::NoButton, p, held);
    }
    // Right click with the menu met by `picker`.
    void rightClick(QPoint p) { press(p, Qt::RightButton); }
};

} // namespace

class PreviewTest : public QObject
{
    Q_OBJECT

private slots:
    void layoutOfThePanel();
    void noHandOffBeforeTheFacade();
    void leftButtonSelectsDragsAndReleases();
    void hoverWithoutButtonSetsThePanelsCursor();
    void otherButtonsHandNothingOver();
    void menuOffersWhatTheItemAllows_data();
    void menuOffersWhatTheItemAllows();
    void rightClickOnEmptySpotShowsNoMenu();
    void zOrderActionsRestackTheSelectedItem_data();
    void zOrderActionsRestackTheSelectedItem();
    void pluginSettingsFailureIsShown();
    void openCameraButtonAsksForTheCamera();
    void textEditorOnNoSelectionOpensNothing();
    void textEditorEndsAsClosed_data();
    void textEditorEndsAsClosed();
    void acceptedPictureEditIsApplied();
    void cancelledPictureEditChangesNothing();
};

void PreviewTest::layoutOfThePanel()
{
    UiVideo video;
    QCOMPARE(video.objectName(), QStringLiteral("UiVideo"));
    QCOMPARE(video.size(), QSize(800, 450));
    QVERIFY(video.hasMouseTracking());
    auto *hidden = video.findChild<QWidget *>(QStringLiteral("widget_hide_video"));
    auto *surface = video.findChild<QWidget *>(QStringLiteral("widget_preview"));
    QVERIFY(hidden && surface);
    QCOMPARE(hidden->geometry(), QRect(0, 0, 800, 450));
    QCOMPARE(surface->geometry(), QRect(0, 0, 800, 450));
    QVERIFY(hidden->isHidden());
    QVERIFY(!surface->isHidden());
    QVERIFY(!surface->updatesEnabled());
    QVERIFY(surface->hasMouseTracking());
    QCOMPARE(video.previewWidth(), 800);
    QCOMPARE(video.previewHeight(), 450);
    QCOMPARE(video.findChild<QLabel *>(QStringLiteral("notactivetextlabel"))->text(), QStringLiteral("还未启动摄像头"));

    // The camera state never brings the placeholder back.
    video.setCameraOpened(false);
    video.setCameraOpened(true);
    QVERIFY(hidden->isHidden());

    QVERIFY(video.previewWindowId() != 0);
    QVERIFY(surface->testAttribute(Qt::WA_NativeWindow));
}

void PreviewTest::noHandOffBeforeTheFacade()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->addImage(f.picture(QStringLiteral("p.png"), 320, 160), 255, 3);
    f.proxy->setItemGeometry(id, 160, 160, 320, 160);
    UiVideo video;
    auto *surface = video.findChild<QWidget *>(QStringLiteral("widget_preview"));
    send(surface, QEvent::MouseButtonPress, Qt::LeftButton, QPoint(200, 150), Qt::LeftButton);
    QCOMPARE(f.proxy->currentItemId(), -1);
}

void PreviewTest::leftButtonSelectsDragsAndReleases()
{
    PreviewScene s;
    const int id = s.picture();
    s.press(QPoint(200, 150));
    QCOMPARE(s.f.proxy->currentItemId(), id);
    // 50 preview pixels right, 25 down: 80 and 40 on the canvas.
    s.move(QPoint(250, 175), Qt::LeftButton);
    QCOMPARE(placement(s.f.proxy.get(), id), QRect(240, 200, 320, 160));
    s.release(QPoint(250, 175));
    s.move(QPoint(300, 200));
    QCOMPARE(placement(s.f.proxy.get(), id), QRect(240, 200, 320, 160));
}

void PreviewTest::hoverWithoutButtonSetsThePanelsCursor()
{
    PreviewScene s;
    s.picture();
    s.press(QPoint(200, 150));
    s.release(QPoint(200, 150));
    // The panel itself is the widget whose cursor the editing sets.
    s.move(QPoint(300, 200));
    QCOMPARE(s.video->cursor().shape(), Qt::SizeFDiagCursor);
    s.move(QPoint(200, 150));
    QCOMPARE(s.video->cursor().shape(), Qt::ArrowCursor);
}

void PreviewTest::otherButtonsHandNothingOver()
{
    PreviewScene s;
    const int id = s.picture();
    s.press(QPoint(200, 150), Qt::MiddleButton);
    QCOMPARE(s.f.proxy->currentItemId(), -1);

    s.press(QPoint(200, 150));
    s.release(QPoint(200, 150));
    QCOMPARE(s.f.proxy->currentItemId(), id);
    // A middle press elsewhere would deselect if it were handed over.
    s.press(QPoint(600, 400), Qt::MiddleButton);
    QCOMPARE(s.f.proxy->currentItemId(), id);
}

void PreviewTest::menuOffersWhatTheItemAllows_data()
{
    QTest::addColumn<bool>("plugin");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("picture") << false
                             << QStringList{QStringLiteral("上移"), QStringLiteral("下移"), QStringLiteral("置顶"),
                                            QStringLiteral("置底"), QStringLiteral("-"), QStringLiteral("移除")};
    QTest::newRow("plug-in") << true
                             << QStringList{QStringLiteral("上移"), QStringLiteral("下移"), QStringLiteral("置顶"),
                                            QStringLiteral("置底"), QStringLiteral("-"), QStringLiteral("设置")};
}

void PreviewTest::menuOffersWhatTheItemAllows()
{
    QFETCH(bool, plugin);
    QFETCH(QStringList, texts);
    PreviewScene s;
    int id = 0;
    if (plugin) {
        id = s.f.proxy->openPlugin(castcore::control().world().plugins.at(0).c_str(), 3);
        s.f.proxy->setItemGeometry(id, 160, 160, 320, 160);
    } else {
        id = s.picture();
    }
    QVERIFY(id > 0);
    MenuPicker picker;
    s.rightClick(QPoint(200, 150));
    QVERIFY(picker.seen());
    QCOMPARE(picker.texts(), texts);
    // Event 4 followed the menu: a move does not drag the item.
    QCOMPARE(s.f.proxy->currentItemId(), id);
    s.move(QPoint(250, 175), Qt::LeftButton);
    QCOMPARE(placement(s.f.proxy.get(), id), QRect(160, 160, 320, 160));
}

void PreviewTest::rightClickOnEmptySpotShowsNoMenu()
{
    PreviewScene s;
    const int id = s.picture();
    s.press(QPoint(200, 150));
    s.release(QPoint(200, 150));
    QCOMPARE(s.f.proxy->currentItemId(), id);
    MenuPicker picker;
    s.rightClick(QPoint(600, 400));
    QTest::qWait(30);
    QVERIFY(!picker.seen());
    QCOMPARE(s.f.proxy->currentItemId(), -1);
}

void PreviewTest::zOrderActionsRestackTheSelectedItem_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("position"); // of the middle item afterwards, from the bottom
    QTest::newRow("上移") << QStringLiteral("上移") << 2;
    QTest::newRow("下移") << QStringLiteral("下移") << 0;
    QTest::newRow("置顶") << QStringLiteral("置顶") << 2;
    QTest::newRow("置底") << QStringLiteral("置底") << 0;
}

void PreviewTest::zOrderActionsRestackTheSelectedItem()
{
    QFETCH(QString, action);
    QFETCH(int, position);
    PreviewScene s;
    const std::string path = s.f.picture(QStringLiteral("small.png"), 16, 16);
    const int low = s.f.proxy->addImage(path, 255, 3);
    const int middle = s.picture();
    const int high = s.f.proxy->addImage(path, 255, 3);
    s.f.proxy->setItemGeometry(low, 0, 0, 16, 16);
    s.f.proxy->setItemGeometry(high, 1200, 700, 16, 16);

    MenuPicker picker(action);
    s.rightClick(QPoint(200, 150));
    QVERIFY(picker.chosen());
    std::vector<int> order;
    s.f.proxy->sortedItemIds(order);
    std::vector<int> active;
    for (int id : order)
        if (id == low || id == middle || id == high)
            active.push_back(id);
    QCOMPARE(int(active.size()), 3);
    QCOMPARE(active[size_t(position)], middle);
}

void PreviewTest::pluginSettingsFailureIsShown()
{
    PreviewScene s;
    const int id = s.f.proxy->openPlugin(castcore::control().world().plugins.at(0).c_str(), 3);
    s.f.proxy->setItemGeometry(id, 160, 160, 320, 160);

    castcore::control().bools().push("ShowPluginConfig", false);
    ModalDriver driver;
    driver.pressNext(QStringLiteral("确定"));
    MenuPicker picker(QStringLiteral("设置"));
    s.rightClick(QPoint(200, 150));
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(driver.last().className, QStringLiteral("UiToolTipDialog"));
    QVERIFY(driver.last().labels.contains(QStringLiteral("打开配置失败!")));
    QCOMPARE(castcore::control().log().count("ShowPluginConfig"), 1);

    // A plug-in that opens its settings shows no message.
    ModalDriver quiet(300);
    quiet.pressNext(QStringLiteral("确定"));
    MenuPicker again(QStringLiteral("设置"));
    s.rightClick(QPoint(200, 150));
    QVERIFY(again.chosen());
    QCOMPARE(castcore::control().log().count("ShowPluginConfig"), 2);
    quiet.waitDone(600);
    QCOMPARE(quiet.seen().size(), 0);
}

void PreviewTest::openCameraButtonAsksForTheCamera()
{
    UiVideo video;
    QSignalSpy spy(&video, &UiVideo::signal_OpenCamera);
    QTest::mouseClick(video.findChild<QPushButton *>(QStringLiteral("pushButton")), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
}

namespace {

// A text item on the canvas, its look read back.
struct TextLook
{
    QString text;
    int size = 0;
    QRect placed;
};

TextLook lookOf(LiveProxy *proxy, int id)
{
    EngineTextBuffers engine;
    proxy->getTextSettings(id, &engine.info);
    TextOverlayInfo record;
    fromEngineText(engine.info, &record);
    return TextLook{record.text, record.size, placement(proxy, id)};
}

int addText(FacadeFixture &f, TextRecord &record)
{
    const int id = f.proxy->addText(&record.info, 3);
    f.proxy->setItemGeometry(id, 100, 80, 200, 60);
    f.proxy->setCurrentItemId(id);
    return id;
}

void setSpin(QWidget *dialog, const char *name, int value)
{
    auto *spin = dialog->findChild<QSpinBox *>(QString::fromLatin1(name));
    QVERIFY(spin);
    spin->setValue(value);
}

} // namespace

void PreviewTest::textEditorOnNoSelectionOpensNothing()
{
    PreviewScene s;
    ModalDriver driver(300);
    driver.pressNext(QStringLiteral("pushButton_cancel"));
    s.video->slot_textConfig();
    s.video->slot_imageConfig();
    driver.waitDone(600);
    QCOMPARE(driver.seen().size(), 0);
}

void PreviewTest::textEditorEndsAsClosed_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("size"); // the item's font size afterwards
    QTest::newRow("cancel puts the item back") << QStringLiteral("pushButton_cancel") << 40;
    QTest::newRow("OK keeps the edit") << QStringLiteral("pushButton_ok") << 90;
}

void PreviewTest::textEditorEndsAsClosed()
{
    QFETCH(QString, button);
    QFETCH(int, size);
    PreviewScene s;
    TextRecord record(u"原文", 40);
    const int id = addText(s.f, record);
    const TextLook before = lookOf(s.f.proxy.get(), id);

    ModalDriver driver;
    driver.onNext([button](QWidget *dialog) {
        setSpin(dialog, "spinBox_font_size", 90);
        ModalDriver::press(dialog, button);
    });
    s.video->slot_textConfig();
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(driver.last().className, QStringLiteral("UiAddText"));
    // The editor previewed the bigger size on the item.
    QVERIFY(!s.f.callsOf("SetTextProperties").isEmpty());
    const TextLook after = lookOf(s.f.proxy.get(), id);
    QCOMPARE(after.text, before.text);
    QCOMPARE(after.size, size);
    if (size == 40)
        QCOMPARE(after.placed, before.placed); // placement included
    else
        QVERIFY(after.placed.width() > before.placed.width()); // the larger text keeps its scale
}

void PreviewTest::acceptedPictureEditIsApplied()
{
    PreviewScene s;
    const int id = s.picture();
    s.f.proxy->setCurrentItemId(id);
    s.f.proxy->setItemAlpha(id, 128);
    const QString other = QString::fromStdString(s.f.picture(QStringLiteral("另一张.png"), 40, 20));

    ModalDriver driver;
    driver.onNext([](QWidget *dialog) {
        // The file button opens the file dialog, met by the next step.
        ModalDriver::press(dialog, QStringLiteral("pushButton_file"));
        auto *slider = dialog->findChild<QSlider *>(QStringLiteral("horizontalSlider"));
        QVERIFY(slider);
        slider->setValue(40);
        ModalDriver::press(dialog, QStringLiteral("pushButton_ok"));
    });
    driver.onNext([other](QWidget *dialog) {
        auto *files = qobject_cast<QFileDialog *>(dialog);
        QVERIFY(files);
        // Typed into the dialog's file name box, as a user would.
        auto *name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(other);
        QMetaObject::invokeMethod(files, "accept");
    });
    s.video->slot_imageConfig();
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    std::string source;
    s.f.proxy->getItemSource(id, &source);
    QCOMPARE(QString::fromStdString(source), other);
    int alpha = 0;
    s.f.proxy->getItemAlpha(id, &alpha);
    QCOMPARE(alpha, 102); // 40 % of 255
}

void PreviewTest::cancelledPictureEditChangesNothing()
{
    PreviewScene s;
    const int id = s.picture();
    s.f.proxy->setCurrentItemId(id);
    std::string before;
    s.f.proxy->getItemSource(id, &before);
    s.f.calls().clear();

    ModalDriver driver;
    driver.onNext([](QWidget *dialog) {
        auto *slider = dialog->findChild<QSlider *>(QStringLiteral("horizontalSlider"));
        QVERIFY(slider);
        slider->setValue(10);
        ModalDriver::press(dialog, QStringLiteral("pushButton_cancel"));
    });
    s.video->slot_imageConfig();
    QVERIFY(driver.waitDone());
    QVERIFY(driver.errors().isEmpty());
    QCOMPARE(s.f.callsOf("SetItemSourceFiles").size(), 0);
    QCOMPARE(s.f.callsOf("SetItemAlpha").size(), 0);
    int alpha = 0;
    s.f.proxy->getItemAlpha(id, &alpha);
    QCOMPARE(alpha, 255);
}

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
