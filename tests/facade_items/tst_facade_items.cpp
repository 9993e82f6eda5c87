// The facade's item creators on the engine layer: pictures, overlays,
// cameras, texts, effective texts, screen captures and pass-throughs.

#include "FacadeFixture.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>

using testsupport::FacadeFixture;
using testsupport::LogCapture;
using testsupport::TextRecord;

namespace {

const std::vector<std::string> kCreateOps = {"CreateItem", "AddOverlayFile", "SetItemAlpha", "SetItemFlag",
                                             "IsNameFree",  "SetItemName",    "SetItemZ"};

QString arg(QString text, int id)
{
    return text.replace(QLatin1String("%id"), QString::number(id));
}

QStringList args(QStringList texts, int id)
{
    for (QString &t : texts)
        t = arg(t, id);
    return texts;
}

castcore::CameraDevice cameraWith(const std::u16string &name, int formats)
{
    castcore::CameraDevice cam;
    cam.name = name;
    for (int i = 0; i < formats; ++i) {
        CameraFormat f;
        f.colorFormat = i % 7;
        f.width = 160 + i;
        f.height = 120;
        f.fps = 30;
        cam.formats.push_back(f);
    }
    return cam;
}

} // namespace

class FacadeItemsTest : public QObject
{
    Q_OBJECT

private slots:
    void creatorsCallTheEngineInOrder_data();
    void creatorsCallTheEngineInOrder();
    void refusedCreationsRegisterNothing_data();
    void refusedCreationsRegisterNothing();
    void cameraOpensOnItsLayer();
    void cameraListsAreCut();
    void cameraFormatsAreCut();
    void cameraParamsReportWhatTheCameraUses_data();
    void cameraParamsReportWhatTheCameraUses();
    void cameraEffects();
    void colorEffects_data();
    void colorEffects();
    void deviceNameOnlyForCameras();
    void textItems();
    void effectiveTextIsNamedAndPlaced();
    void effectiveTextScrollsOnlyWhenWider_data();
    void effectiveTextScrollsOnlyWhenWider();
    void effectiveTextMovesAndUpdatesAsOne();
    void halfCreatedEffectiveTextLeavesNothing_data();
    void halfCreatedEffectiveTextLeavesNothing();
    void unpairedEffectiveTextsAreDroppedAtRestore();
    void restoredPairKeepsItsTextAcrossStarts();
    void fullScreenCapture();
    void regionCaptureIsMappedToTheCanvas();
    void screenRectMapping_data();
    void screenRectMapping();
    void displaysAndPassThroughs();
    void rectanglesWithoutAreaChangeNothing_data();
    void rectanglesWithoutAreaChangeNothing();
};

void FacadeItemsTest::creatorsCallTheEngineInOrder_data()
{
    QTest::addColumn<QString>("creator");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("ops");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QStringList>("log");
    const QStringList picture = {"CreateItem", "SetItemAlpha", "SetItemFlag", "IsNameFree", "SetItemName", "SetItemZ"};
    QTest::newRow("image") << "image" << "p.png" << picture << QStringList{"SetItemFlag(%id,true)"}
                           << QStringList{"add image.", "autoSetItemZorder: id(%id) z(1000001).",
                                          "add image image_%id success: id(%id) z(1000001)."};
    QTest::newRow("bottom") << "bottom" << "p.png" << picture << QStringList{"SetItemFlag(%id,false)"}
                            << QStringList{"autoSetItemZorder: id(%id) z(1).",
                                           "add bottom item image_%id success: id(%id) z(1)."};
    QTest::newRow("shadow") << "shadow" << "p.png" << picture << QStringList{"SetItemFlag(%id,false)"}
                            << QStringList{"add shadow, falsh file? 0.", "autoSetItemZorder: id(%id) z(3000000).",
                                           "add shadow shadow_%id success: id(%id) z(3000000)."};
    QTest::newRow("edge flash") << "edge" << "e.swf"
                                << QStringList{"AddOverlayFile", "IsNameFree", "SetItemName", "SetItemZ"}
                                << QStringList{}
                                << QStringList{"add edge, falsh file? 1.", "autoSetItemZorder: id(%id) z(4000000).",
                                               "add edge edge_%id success: id(%id) z(4000000)."};
    QTest::newRow("pendant") << "pendant" << "p.png" << picture + QStringList{"SetItemFlag"}
                             << QStringList{"SetItemFlag(%id,false)", "SetItemFlag(%id,true)"}
                             << QStringList{"add pendant, falsh file? 0.", "autoSetItemZorder: id(%id) z(1000001).",
                                            "add pendant pendant_%id success: id(%id) z(1000001)."};
    QTest::newRow("pendant upper-case SWF") << "pendant" << "big.SWF" << picture + QStringList{"SetItemFlag"}
                                            << QStringList{"SetItemFlag(%id,false)", "SetItemFlag(%id,true)"}
                                            << QStringList{"add pendant, falsh file? 0.",
                                                           "autoSetItemZorder: id(%id) z(1000001).",
                                                           "add pendant pendant_%id success: id(%id) z(1000001)."};
}

void FacadeItemsTest::creatorsCallTheEngineInOrder()
{
    QFETCH(QString, creator);
    QFETCH(QString, file);
    QFETCH(QStringList, ops);
    QFETCH(QStringList, flags);
    QFETCH(QStringList, log);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    // Picture bytes whatever the suffix: the engine reads the header.
    const std::string path = f.picture(file, 64, 32);
    f.calls().clear();
    const int start = FacadeFixture::logSize();

    int id = -1;
    const int layers[] = {3, 0, 4, 5, 3};
    if (creator == "image")
        id = f.proxy->addImage(path, 255, layers[0]);
    else if (creator == "bottom")
        id = f.proxy->addBottomImage(path, 255, layers[1]);
    else if (creator == "shadow")
        id = f.proxy->addShadow(path, 255, layers[2]);
    else if (creator == "edge")
        id = f.proxy->addEdge(path, 255, layers[3]);
    else
        id = f.proxy->addPendant(path, 255, layers[4]);

    QVERIFY(id > 0);
    QStringList seen;
    for (const std::string &op : f.ops(kCreateOps))
        seen << QString::fromStdString(op);
    QCOMPARE(seen, ops);
    QCOMPARE(f.callsOf("SetItemFlag"), args(flags, id));
    if (ops.contains("SetItemAlpha"))
        QCOMPARE(f.callsOf("SetItemAlpha"), QStringList{arg("SetItemAlpha(%id,255)", id)});
    if (ops.contains("CreateItem"))
        QCOMPARE(f.callsOf("CreateItem"), QStringList{QString("CreateItem(%1,0,0,100,100)").arg(QString::fromStdString(path))});
    QCOMPARE(FacadeFixture::logSince(start), args(log, id));
    QCOMPARE(f.proxy->itemIds(), std::vector<int>{id});
}

void FacadeItemsTest::refusedCreationsRegisterNothing_data()
{
    QTest::addColumn<QString>("creator");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("missing picture") << "image" << "missing.png" << QStringList{"add image."};
    QTest::newRow("empty path") << "image" << "" << QStringList{"add image."};
    QTest::newRow("empty bottom") << "bottom" << "" << QStringList{};
    QTest::newRow("missing flash") << "shadow" << "missing.swf" << QStringList{"add shadow, falsh file? 1."};
    QTest::newRow("missing pendant") << "pendant" << "missing.png" << QStringList{"add pendant, falsh file? 0."};
}

void FacadeItemsTest::refusedCreationsRegisterNothing()
{
    QFETCH(QString, creator);
    QFETCH(QString, file);
    QFETCH(QStringList, log);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::string path = file.isEmpty() ? std::string() : (f.env.workPath() + "/" + file).toStdString();
    f.calls().clear();
    const int start = FacadeFixture::logSize();
    int id = 1;
    if (creator == "image")
        id = f.proxy->addImage(path, 255, 3);
    else if (creator == "bottom")
        id = f.proxy->addBottomImage(path, 255, 0);
    else if (creator == "shadow")
        id = f.proxy->addShadow(path, 255, 4);
    else
        id = f.proxy->addPendant(path, 255, 3);
    QVERIFY(id <= 0);
    QCOMPARE(FacadeFixture::logSince(start), log);
    QCOMPARE(f.ops({"IsNameFree", "SetItemName", "SetItemZ", "SetItemAlpha", "SetItemFlag"}),
             std::vector<std::string>{});
    QVERIFY(f.proxy->itemIds().empty());
}

void FacadeItemsTest::cameraOpensOnItsLayer()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.calls().clear();
    int start = FacadeFixture::logSize();
    const int id = f.proxy->openCamera(f.cameraName(), 2);
    QVERIFY(id > 0);
    QCOMPARE(f.callsOf("OpenCamera"), QStringList{"OpenCamera(USB2.0 HD Camera,0,0,0,0)"});
    QCOMPARE(FacadeFixture::logSince(start).mid(0, 3),
             args({"open camera device: USB2.0 HD Camera.", "autoSetItemZorder: id(%id) z(50).",
                   "open camera device camera_%id success: id(%id) z(50)."},
                  id));
    QCOMPARE(f.proxy->itemType(id), int(SceneItemCamera));

    start = FacadeFixture::logSize();
    QVERIFY(f.proxy->openCamera(u"没有这台", 2) <= 0);
    QCOMPARE(FacadeFixture::logSince(start), QStringList{"open camera device: 没有这台."});
    QCOMPARE(f.proxy->itemIds(), std::vector<int>{id});
}

void FacadeItemsTest::cameraListsAreCut()
{
    FacadeFixture f;
    castcore::World world = castcore::control().world();
    world.cameras.clear();
    for (int i = 0; i < 12; ++i)
        world.cameras.push_back(cameraWith(u"Cam " + QString::number(i).toStdU16String(), 1));
    castcore::control().setWorld(world);
    QCOMPARE(f.init(), 0);

    CameraDeviceRecord *table = nullptr;
    int count = -1;
    f.proxy->cameraDeviceList(&table, &count);
    QCOMPARE(count, 10);
    QVERIFY(table);
    QCOMPARE(QString::fromStdU16String(table[0].name), QStringLiteral("Cam 0"));
    QCOMPARE(QString::fromStdU16String(table[9].name), QStringLiteral("Cam 9"));
    QVERIFY(LogCapture::contains("camera device count too many."));
    QCOMPARE(f.engine()->outstandingBuffers(), 0);
}

void FacadeItemsTest::cameraFormatsAreCut()
{
    FacadeFixture f;
    castcore::World world = castcore::control().world();
    world.cameras = {cameraWith(u"Many", 75), cameraWith(u"Few", 3)};
    castcore::control().setWorld(world);
    QCOMPARE(f.init(), 0);

    CameraFormat *list = nullptr;
    int count = -1;
    f.proxy->cameraFormatList(u"Many", &list, &count);
    QCOMPARE(count, 60);
    QCOMPARE(list[59].width, 160 + 59);
    f.proxy->cameraFormatList(u"Few", &list, &count);
    QCOMPARE(count, 3);
    QCOMPARE(list[2].colorFormat, 2);
    CameraFormat *untouched = reinterpret_cast<CameraFormat *>(0x1);
    f.proxy->cameraFormatList(u"None", &untouched, &count);
    QCOMPARE(count, 0);
    QCOMPARE(untouched, reinterpret_cast<CameraFormat *>(0x1));
    QCOMPARE(f.engine()->outstandingBuffers(), 0);
}

void FacadeItemsTest::cameraParamsReportWhatTheCameraUses_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("failed");
    QTest::addColumn<bool>("readBackFails");
    QTest::newRow("taken") << 6 << 1280 << 720 << "Set(camerareinfo,MJPG 1280*720 30)" << false << false;
    QTest::newRow("refused") << 0 << 1024 << 768 << "Set(camerareinfo,YUY2 640*480 30)" << true << false;
    // Nothing is known about the camera then: the refused request is not its state.
    QTest::newRow("refused, unread") << 0 << 1024 << 768 << QString() << true << true;
}

void FacadeItemsTest::cameraParamsReportWhatTheCameraUses()
{
    QFETCH(int, format);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QString, setting);
    QFETCH(bool, failed);
    QFETCH(bool, readBackFails);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->openCamera(f.cameraName(), 2);
    f.calls().clear();
    const int start = FacadeFixture::logSize();
    if (readBackFails)
        castcore::control().bools().push("GetCameraParams", false);
    CameraParams params{format, width, height, 30};
    f.proxy->setCameraParam(id, &params);
    QCOMPARE(f.callsOf("Set"), setting.isEmpty() ? QStringList{} : QStringList{setting});
    QCOMPARE(FacadeFixture::logSince(start).contains("set camera param fail."), failed);
    QCOMPARE(FacadeFixture::logSince(start).contains("get camera param fail."), readBackFails);
    if (readBackFails)
        QCOMPARE(f.ops({"GetCameraParams"}).size(), size_t(1));
    CameraParams now;
    f.proxy->getCameraParam(id, &now);
    QCOMPARE(now.width, failed ? 640 : width);
}

void FacadeItemsTest::cameraEffects()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->openCamera(f.cameraName(), 2);
    f.calls().clear();
    f.proxy->setSlim(id, 0);
    f.proxy->setSlim(id, 100);
    QCOMPARE(f.callsOf("SetItemAspect"),
             args({"SetItemAspect(%id,1.7777778,1)", "SetItemAspect(%id,1.4777777,1)"}, id));
    QCOMPARE(f.ops({"SetItemFlag", "SetItemAspect"}),
             (std::vector<std::string>{"SetItemFlag", "SetItemAspect", "SetItemFlag", "SetItemAspect"}));

    f.proxy->setItemMirrored(id, true);
    f.proxy->setItemFlipped(id, true);
    QVERIFY(f.proxy->isItemMirrored(id));
    QVERIFY(f.proxy->isItemFlipped(id));
    f.proxy->setItemMirrored(id, false);
    QVERIFY(!f.proxy->isItemMirrored(id));
    QVERIFY(f.proxy->isItemFlipped(id));
    QCOMPARE(f.callsOf("SetItemRotation"),
             args({"SetItemRotation(%id,3.1415927,1)", "SetItemRotation(%id,3.1415927,0)", "SetItemRotation(%id,0,1)"},
                  id));
    float radians = 0;
    QVERIFY(f.engine()->scene().GetItemRotation(id, &radians, 0));
    QCOMPARE(radians, 3.14159274f);
}

void FacadeItemsTest::colorEffects_data()
{
    QTest::addColumn<int>("effect");
    QTest::addColumn<uint>("rgb");
    QTest::addColumn<int>("readBack");
    QTest::newRow("first") << 0 << 0x38465Cu << 0;
    QTest::newRow("fourth") << 3 << 0x202E50u << 3;
    QTest::newRow("last") << 7 << 0xDC3C48u << 7;
    QTest::newRow("past the table") << 8 << 0u << -5;
    QTest::newRow("none") << -1 << 0u << -5;
}

void FacadeItemsTest::colorEffects()
{
    QFETCH(int, effect);
    QFETCH(uint, rgb);
    QFETCH(int, readBack);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->openCamera(f.cameraName(), 2);
    f.proxy->setItemColorEffect(id, effect);
    QCOMPARE(f.engine()->item(id)->colorEffect, uint32_t(rgb));
    int index = -5;
    f.proxy->getItemColorEffect(id, &index);
    QCOMPARE(index, readBack);
}

void FacadeItemsTest::deviceNameOnlyForCameras()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int cam = f.proxy->openCamera(f.cameraName(), 2);
    const int pic = f.proxy->addImage(f.picture("p.png", 10, 10), 255, 3);
    QString name = QStringLiteral("unchanged");
    f.proxy->getCameraDeviceName(pic, name);
    QCOMPARE(name, QStringLiteral("unchanged"));
    f.proxy->getCameraDeviceName(cam, name);
    QCOMPARE(name, QStringLiteral("USB2.0 HD Camera"));
    int range[5] = {};
    int value = -9, flags = -9;
    QVERIFY(f.proxy->getCameraImageProperty(cam, 0, range, &value, &flags) > 0);
    QCOMPARE(f.proxy->getCameraImageProperty(pic, 0, range, &value, &flags), 0);
}

void FacadeItemsTest::textItems()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord text(u"主播在线");
    f.calls().clear();
    const int start = FacadeFixture::logSize();
    const int id = f.proxy->addText(&text.info, 3);
    QVERIFY(id > 0);
    QCOMPARE(f.callsOf("CreateTextItem"), QStringList{"CreateTextItem(主播在线,1,1)"});
    QCOMPARE(FacadeFixture::logSince(start),
             args({"add text.", "autoSetItemZorder: id(%id) z(1000001).", "add txt txt_%id success: id(%id) z(1000001)."},
                  id));
    QCOMPARE(f.proxy->itemType(id), int(SceneItemText));

    TextRecord changed(u"下播");
    changed.info.mask = TextText;
    f.proxy->setTextSettings(id, changed.info);
    TextRecord read(u"");
    f.proxy->getTextSettings(id, &read.info);
    QCOMPARE(QString::fromStdU16String(std::u16string(read.info.text)), QStringLiteral("下播"));
    QCOMPARE(read.info.size, 40);
    QVERIFY(f.proxy->createTextItem(nullptr) <= 0);
}

void FacadeItemsTest::effectiveTextIsNamedAndPlaced()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord text(u"欢迎");
    const int start = FacadeFixture::logSize();
    const int pic = f.proxy->addEffectiveText(f.picture("bg.png", 400, 90), QRect(77, 30, 320, 30), &text.info);
    QVERIFY(pic > 0);
    EffectiveTxtItem *pair = nullptr;
    QVERIFY(f.proxy->findEffectiveText(pic, &pair));
    const int txt = pair->textId();
    bool named = false;
    QCOMPARE(f.proxy->storedNameOf(pic, &named), "effectivetxt_" + std::to_string(pic));
    QCOMPARE(f.proxy->storedNameOf(txt, &named), "effectivetxt_" + std::to_string(pic) + "_" + std::to_string(txt));
    std::string geometry;
    QVERIFY(f.proxy->getEffectiveText(txt, &geometry));
    QCOMPARE(geometry, std::string("77,30,320,30"));
    QCOMPARE(f.proxy->itemIds(), std::vector<int>{pic});
    QVERIFY(FacadeFixture::logSince(start).contains(QStringLiteral("add effective txt success: id(%1) z(1000001).").arg(pic)));

    int sx = 0, sy = 0, tw = 0, th = 0;
    f.proxy->getItemSourceRect(txt, &sx, &sy, &tw, &th);
    QVERIFY(th > 0);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(txt, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(77, 30 + (30 - th) / 2, tw, th));
    // The text was sent with the area's width as its extent.
    TextRecord read(u"");
    f.proxy->getEffectiveTextSettings(pic, &read.info);
    QCOMPARE(int(read.info.extend), 1);
    QCOMPARE(read.info.extendWidth, 320);

    QVERIFY(f.proxy->effectiveTextOp(pic, f.picture("bg2.png", 300, 60), QRect(1, 2, 3, 4)));
    std::string source;
    f.proxy->getEffectivePictureSource(pic, &source);
    QCOMPARE(QString::fromStdString(source), f.env.workPath() + "/bg2.png");
    QCOMPARE(pair->textArea(), QRect(77, 30, 320, 30));
    QVERIFY(f.proxy->effectiveTextOp(pic + 100, "x.png", QRect()));
}

void FacadeItemsTest::effectiveTextScrollsOnlyWhenWider_data()
{
    QTest::addColumn<int>("areaWidth");
    QTest::addColumn<int>("roll");
    QTest::addColumn<int>("flags");
    QTest::newRow("fits, still") << 2000 << 0 << 1;
    QTest::newRow("fits, rolling") << 2000 << 3 << 0;
    QTest::newRow("wider than the area") << 20 << 0 << 0;
}

void FacadeItemsTest::effectiveTextScrollsOnlyWhenWider()
{
    QFETCH(int, areaWidth);
    QFETCH(int, roll);
    QFETCH(int, flags);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord text(u"滚动的字幕");
    text.info.rollSpeed = roll;
    const int pic = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(0, 0, areaWidth, 30), &text.info);
    QVERIFY(pic > 0);
    TextRecord read(u"");
    f.proxy->getEffectiveTextSettings(pic, &read.info);
    QCOMPARE(int(read.info.newline), flags);
    QCOMPARE(read.info.align, flags);
    QCOMPARE(text.info.mask & 0x280000u, 0x280000u);
}

void FacadeItemsTest::effectiveTextMovesAndUpdatesAsOne()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord text(u"欢迎");
    const int pic = f.proxy->addEffectiveText(f.picture("bg.png", 400, 90), QRect(10, 20, 300, 50), &text.info);
    EffectiveTxtItem *pair = nullptr;
    QVERIFY(f.proxy->findEffectiveText(pic, &pair));
    const int txt = pair->textId();

    f.proxy->setItemRect(pic, 100, 200, 999, 999);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(pic, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(100, 200, 400, 90));
    int sx = 0, sy = 0, tw = 0, th = 0;
    f.proxy->getItemSourceRect(txt, &sx, &sy, &tw, &th);
    f.proxy->getItemRect(txt, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(110, 220 + (50 - th) / 2, tw, th));

    TextRecord longer(u"欢迎来到直播间");
    f.proxy->updateEffectiveText(pic, longer.info);
    f.proxy->getItemSourceRect(txt, &sx, &sy, &tw, &th);
    f.proxy->getItemRect(txt, &x, &y, &w, &h);
    QCOMPARE(QPoint(x, y), QPoint(110, 220 + (50 - th) / 2));
    QCOMPARE(w, tw);

    // The mouse cannot resize it: the scaled rectangle changes nothing.
    pair->relayout(QRect(0, 0, 1, 1));
    f.proxy->getItemRect(pic, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(100, 200, 400, 90));
    QVERIFY(!f.proxy->canResizeItem(pic));
    QVERIFY(!f.proxy->canMoveItem(pic));
    QVERIFY(f.proxy->canShiftItem(pic));
}

void FacadeItemsTest::halfCreatedEffectiveTextLeavesNothing_data()
{
    QTest::addColumn<bool>("pictureFails");
    QTest::newRow("text refused") << false;
    QTest::newRow("picture missing") << true;
}

void FacadeItemsTest::halfCreatedEffectiveTextLeavesNothing()
{
    QFETCH(bool, pictureFails);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const std::vector<int> before = f.engine()->itemIds();
    if (!pictureFails)
        castcore::control().ints().push("CreateTextItem", -1);
    const std::string path = pictureFails ? (f.env.workPath() + "/missing.png").toStdString()
                                          : f.picture("bg.png", 400, 60);
    TextRecord text(u"欢迎");
    f.calls().clear();

    QCOMPARE(f.proxy->addEffectiveText(path, QRect(0, 0, 100, 30), &text.info), -1);

    QCOMPARE(f.engine()->itemIds(), before);
    const QStringList named = f.callsOf("SetItemName");
    QCOMPARE(named.size(), 1);
    const QString name = named.first().section(',', 1).chopped(1);
    QVERIFY(name.startsWith("effectivetxt_"));
    QCOMPARE(f.callsOf("Remove"), QStringList{"Remove(" + name + ")"});
    QVERIFY(f.proxy->itemIds().empty());
    QCOMPARE(f.engine()->store().Count(), 0);
}

void FacadeItemsTest::unpairedEffectiveTextsAreDroppedAtRestore()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord one(u"一"), two(u"二");
    const std::string gone = f.picture("gone.png", 300, 60);
    const int lonely = f.proxy->addEffectiveText(f.picture("bg.png", 300, 60), QRect(0, 0, 100, 30), &one.info);
    const int orphan = f.proxy->addEffectiveText(gone, QRect(0, 0, 100, 30), &two.info);
    EffectiveTxtItem *pair = nullptr;
    QVERIFY(f.proxy->findEffectiveText(lonely, &pair));
    const std::string lonelyText =
        "effectivetxt_" + std::to_string(lonely) + "_" + std::to_string(pair->textId());
    QVERIFY(f.proxy->findEffectiveText(orphan, &pair));
    const std::string orphanText = "effectivetxt_" + std::to_string(orphan) + "_" + std::to_string(pair->textId());
    QVERIFY(f.engine()->store().Remove(lonelyText.c_str()));
    f.restart();
    QVERIFY(QFile::remove(QString::fromStdString(gone)));
    const int start = FacadeFixture::logSize();

    QCOMPARE(f.init(), 0);

    const QStringList log = FacadeFixture::logSince(start);
    QVERIFY(log.contains(QStringLiteral("remove item: effectivetxt_%1 because open fail.").arg(orphan)));
    QVERIFY(log.contains(QStringLiteral("remove item: effectivetxt_%1 because detect effectivetxt fail.").arg(lonely)));
    QVERIFY(log.contains(QStringLiteral("remove item: %1 because detect effectivetxt fail.")
                             .arg(QString::fromStdString(orphanText))));
    QVERIFY(f.proxy->itemIds().empty());
    QCOMPARE(f.engine()->store().Count(), 0);
}

void FacadeItemsTest::restoredPairKeepsItsTextAcrossStarts()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    TextRecord text(u"今晚八点开播");
    const int made = f.proxy->addEffectiveText(f.picture("bg.png", 400, 60), QRect(10, 10, 300, 40), &text.info);
    QVERIFY(made > 0);
    EffectiveTxtItem *pair = nullptr;
    QVERIFY(f.proxy->findEffectiveText(made, &pair));
    bool named = false;
    const std::string pictureName = f.proxy->storedNameOf(made, &named);
    const std::string textName = f.proxy->storedNameOf(pair->textId(), &named);
    QCOMPARE(pictureName, "effectivetxt_" + std::to_string(made));
    QCOMPARE(textName, pictureName + "_" + std::to_string(pair->textId()));

    // Each start pairs the saved items again and deletes neither of them.
    for (int start = 1; start <= 3; ++start) {
        f.restart();
        const int logStart = FacadeFixture::logSize();
        QCOMPARE(f.init(), 0);
        QCOMPARE(FacadeFixture::logSince(logStart).filter("remove item").size(), 0);
        QCOMPARE(f.engine()->store().Count(), 2);
        QCOMPARE(int(f.proxy->itemIds().size()), 1);
        const int picture = f.proxy->itemIds().front();
        QVERIFY(f.proxy->findEffectiveText(picture, &pair));
        QVERIFY(pair->textId() > 0);
        QCOMPARE(f.proxy->storedNameOf(picture, &named), pictureName);
        QVERIFY(named);
        QCOMPARE(f.proxy->storedNameOf(pair->textId(), &named), textName);
        QVERIFY(named);
        TextRecord read(u"");
        f.proxy->getTextSettings(pair->textId(), &read.info);
        QCOMPARE(QString::fromStdU16String(std::u16string(read.info.text)), QStringLiteral("今晚八点开播"));
    }
}

void FacadeItemsTest::fullScreenCapture()
{
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.calls().clear();
    const int start = FacadeFixture::logSize();
    const int id = f.proxy->addFullScreenCapture(0, 1);
    QVERIFY(id > 0);
    QCOMPARE(f.callsOf("AddScreenCapture"), QStringList{"AddScreenCapture(0,0,0,1920,1080)"});
    QCOMPARE(FacadeFixture::logSince(start),
             args({"add full screen: 0.", "autoSetItemZorder: id(%id) z(20).",
                   "add ful screen capture fullscreen_%id success: id(%id) z(20) [1920,1080] [1920,1080] ."},
                  id));
    f.proxy->setItemFullWindow(id);
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(id, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 1280, 720));
    QVERIFY(LogCapture::contains(QStringLiteral("set item %1 full win.").arg(id)));

    const int before = FacadeFixture::logSize();
    QVERIFY(f.proxy->addFullScreenCapture(4, 1) <= 0);
    QCOMPARE(FacadeFixture::logSince(before), QStringList{"add full screen: 4."});
}

void FacadeItemsTest::regionCaptureIsMappedToTheCanvas()
{
    // The offscreen platform has one 800 x 600 screen.
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(0, 0, 800, 600));
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    f.calls().clear();
    const int start = FacadeFixture::logSize();
    const int id = f.proxy->addScreenCapture(QRect(100, 60, 400, 300), 0, 3);
    QVERIFY(id > 0);
    QCOMPARE(f.callsOf("AddScreenCapture"), QStringList{"AddScreenCapture(0,100,60,400,300)"});
    QCOMPARE(f.callsOf("SetItemFlag"), args({"SetItemFlag(%id,true)"}, id));
    QCOMPARE(FacadeFixture::logSince(start),
             args({"add screen capture.", "autoSetItemZorder: id(%id) z(1000001).",
                   "add screen capture screencapture_%id success: id(%id) z(1000001)."},
                  id));
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(id, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(160, 72, 639, 360));

    // A display the desktop does not know leaves the engine's placement.
    castcore::World world = castcore::control().world();
    world.displays.push_back({1920, 0, 1280, 1024});
    castcore::control().setWorld(world);
    const int other = f.proxy->addScreenCapture(QRect(0, 0, 200, 100), 1, 3);
    f.proxy->getItemRect(other, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 200, 100));

    const int refused = f.proxy->addScreenCapture(QRect(0, 0, 200, 100), 7, 3);
    QVERIFY(refused <= 0);
    QCOMPARE(int(f.proxy->itemIds().size()), 2);
}

void FacadeItemsTest::screenRectMapping_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("display");
    QTest::addColumn<QRect>("canvas");
    QTest::newRow("quarter of full HD") << QRect(0, 0, 960, 540) << QRect(0, 0, 1920, 1080) << QRect(0, 0, 640, 360);
    QTest::newRow("rounded edges") << QRect(100, 50, 200, 100) << QRect(0, 0, 1920, 1080) << QRect(67, 33, 133, 67);
    QTest::newRow("no display width") << QRect(5, 6, 7, 8) << QRect(0, 0, 0, 1080) << QRect(5, 6, 7, 8);
    QTest::newRow("no display height") << QRect(5, 6, 7, 8) << QRect(0, 0, 1920, 0) << QRect(5, 6, 7, 8);
}

void FacadeItemsTest::screenRectMapping()
{
    QFETCH(QRect, screen);
    QFETCH(QRect, display);
    QFETCH(QRect, canvas);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    QCOMPARE(f.proxy->mapScreenRectToCanvas(screen, display), canvas);
}

void FacadeItemsTest::displaysAndPassThroughs()
{
    FacadeFixture f;
    castcore::World world = castcore::control().world();
    world.displays.clear();
    castcore::control().setWorld(world);
    QCOMPARE(f.init(), 0);
    QCOMPARE(f.proxy->displayCount(), 0);
    int x = -1, y = -1, w = -1, h = -1;
    f.proxy->displayRect(0, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(-1, -1, -1, -1));
    QCOMPARE(f.proxy->systemDriveIndex(), 2);

    f.calls().clear();
    QCOMPARE(f.proxy->forwardNativeMessage(0, 16, 0, 0), std::intptr_t(0));
    QCOMPARE(f.calls().count("OnWindowMessage"), 0);
    castcore::control().ints().push("OnWindowMessage", 7);
    QCOMPARE(f.proxy->forwardNativeMessage(WId(0x42), 16, 1, 2), std::intptr_t(7));
    QCOMPARE(f.callsOf("OnWindowMessage"), QStringList{"OnWindowMessage(66,16,1,2)"});
}

void FacadeItemsTest::rectanglesWithoutAreaChangeNothing_data()
{
    QTest::addColumn<QRect>("rect");
    QTest::newRow("no width") << QRect(5, 6, 0, 40);
    QTest::newRow("negative height") << QRect(5, 6, 40, -2);
    QTest::newRow("empty") << QRect();
}

void FacadeItemsTest::rectanglesWithoutAreaChangeNothing()
{
    QFETCH(QRect, rect);
    FacadeFixture f;
    QCOMPARE(f.init(), 0);
    const int id = f.proxy->addImage(f.picture("p.png", 64, 32), 255, 3);
    f.calls().clear();
    f.proxy->setItemRect(id, rect.x(), rect.y(), rect.width(), rect.height());
    f.proxy->setItemRectAlt(id, rect.x(), rect.y(), rect.width(), rect.height());
    QCOMPARE(f.ops({"SetItemRect", "SetItemRect2"}), std::vector<std::string>{});
    int x = 0, y = 0, w = 0, h = 0;
    f.proxy->getItemRect(id, &x, &y, &w, &h);
    QCOMPARE(QRect(x, y, w, h), QRect(0, 0, 64, 32));
    QVERIFY(LogCapture::contains(
        QStringLiteral("item %1 keeps its place: size %2*%3 refused.").arg(id).arg(rect.width()).arg(rect.height())));
    // A capture of no region is refused by the engine and registers nothing.
    QVERIFY(f.proxy->addScreenCapture(rect, 0, 3) <= 0);
    QCOMPARE(f.proxy->itemIds(), std::vector<int>{id});
}

QTEST_MAIN(FacadeItemsTest)
#include "tst_facade_items.moc"
