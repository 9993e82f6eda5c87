// The engine's scene store: item names, the saved scene and its restore by a
// new engine object.

#include "EngineFixture.h"

#include <QFile>
#include <QtTest>

#include <cstring>
#include <memory>

using namespace castcore;

namespace {

std::vector<SceneItemRecord> records(ISceneStore *store)
{
    std::vector<SceneItemRecord> out(size_t(std::max(0, store->Count())));
    if (!out.empty())
        out.resize(size_t(store->Fill(out.data(), int(out.size()))));
    return out;
}

std::vector<std::string> names(ISceneStore *store)
{
    std::vector<std::string> out;
    for (const SceneItemRecord &r : records(store))
        out.push_back(r.name);
    return out;
}

} // namespace

class TestSceneStore : public QObject
{
    Q_OBJECT
private slots:
    void namesKeptAndRenamed();
    void openIsIdempotent();
    void savedNamesHeldBeforeOpen();
    void savedSceneRestoredInNewEngine();
    void fillRecordLayout();
    void openFailsWhenSourceGoneOrScripted();
    void twoSavedCamerasBothListed();
    void unreadableSceneFileKeptAside();
    void namesMustFitTheRecord_data();
    void namesMustFitTheRecord();
    void overlongSavedNameSkipped();
    void outOfRangeTextValuesClamped_data();
    void outOfRangeTextValuesClamped();
};

void TestSceneStore::namesKeptAndRenamed()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    const int a = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    const int b = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    char buf[256] = "untouched";
    QVERIFY(!f.store()->GetItemName(a, buf, sizeof buf)); // unnamed
    QCOMPARE(QByteArray(buf), QByteArray("untouched"));

    QVERIFY(f.store()->IsNameFree("image_1"));
    QVERIFY(f.store()->SetItemName(a, "image_1"));
    QVERIFY(!f.store()->IsNameFree("image_1"));
    QVERIFY(!f.store()->SetItemName(b, "image_1")); // held by another item
    QVERIFY(f.store()->SetItemName(a, "image_1")); // its own name again
    QVERIFY(f.store()->GetItemName(a, buf, sizeof buf));
    QCOMPARE(QByteArray(buf), QByteArray("image_1"));

    // A lock word appended is a rename: the old name becomes free.
    QVERIFY(f.store()->SetItemName(a, "image_1_unmove"));
    QVERIFY(f.store()->IsNameFree("image_1"));
    QVERIFY(f.store()->GetItemName(a, buf, sizeof buf));
    QCOMPARE(QByteArray(buf), QByteArray("image_1_unmove"));
    QCOMPARE(names(f.store()), (std::vector<std::string>{"image_1_unmove"}));

    // A name that does not fit is not handed out cut.
    char small[8];
    QVERIFY(!f.store()->GetItemName(a, small, sizeof small));
    QVERIFY(!f.store()->GetItemName(999, buf, sizeof buf));
    QVERIFY(!f.store()->SetItemName(999, "x"));
    QVERIFY(!f.store()->SetItemName(b, ""));
    QVERIFY(!f.store()->IsNameFree(""));
    QVERIFY(!f.store()->IsNameFree(nullptr));
    QCOMPARE(f.store()->Kind(999), -1);
}

void TestSceneStore::openIsIdempotent()
{
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    const int a = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(f.store()->SetItemName(a, "image_1"));
    // An open item is found again, not made twice.
    QCOMPARE(f.store()->Open("image_1"), a);
    QCOMPARE(f.store()->Open("image_1"), a);
    f.scene()->Shutdown();

    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    QVERIFY(store->OpenFile("scene", f.scenePath().c_str()));
    const int id = store->Open("image_1");
    QVERIFY(id > 0);
    QCOMPARE(store->Open("image_1"), id);
    QCOMPARE(int(static_cast<CastCoreEngine *>(second.get())->itemIds().size()), 1);
    QCOMPARE(store->Count(), 1);
    QVERIFY(store->Open("no such item") < 0);
}

void TestSceneStore::savedNamesHeldBeforeOpen()
{
    EngineFixture f;
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    QVERIFY(f.store()->SetItemName(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), "image_1"));
    f.scene()->Shutdown();

    // In a new run the saved record holds its name before anything opens it,
    // so a new item cannot take it over.
    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    QVERIFY(store->OpenFile("scene", f.scenePath().c_str()));
    QVERIFY(!store->IsNameFree("image_1"));
    QVERIFY(store->IsNameFree("image_2"));
    const int fresh = second->GetScene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(!store->SetItemName(fresh, "image_1"));
    QVERIFY(store->Remove("image_1"));
    QVERIFY(store->IsNameFree("image_1"));
}

void TestSceneStore::savedSceneRestoredInNewEngine()
{
    FixedCapture capture; // outlives the engine that uses it
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("背景.png"), 50, 40);
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(f.init(), 0);

    const int p = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    f.scene()->SetItemRect(p, 10, 20, 300, 200);
    f.scene()->SetItemZ(p, 1000001);
    f.scene()->SetItemAlpha(p, 200);
    f.scene()->SetItemFlag(p, true);
    f.scene()->SetItemRotation(p, 3.14159274f, 1);
    f.scene()->SetItemColorEffect(p, 0x38465C);
    QVERIFY(f.store()->SetItemName(p, "image_1"));

    TextRecord r(u"字幕 text", 36);
    r.info.bold = 1;
    r.info.outlineColor = 0xFF00FF00;
    r.info.outline = 1;
    r.info.outlineSize = 2.5f;
    const int t = f.scene()->CreateTextItem(&r.info, 1, 1);
    f.scene()->SetItemZ(t, 1000002);
    QVERIFY(f.scene()->SetEffectiveText(t, u"77,30,320,30"));
    QVERIFY(f.store()->SetItemName(t, "effectivetxt_2_2"));

    const int cam = f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0);
    CameraParams params{6, 1280, 720, 30};
    QVERIFY(f.scene()->SetCameraParams(cam, &params));
    f.scene()->SetItemZ(cam, 50);
    QVERIFY(f.store()->SetItemName(cam, "camera_3"));

    // The watermark is never named, so never saved.
    const int wm = f.scene()->AddCustomCapture(&capture);
    f.scene()->SetItemZ(wm, 5000000);

    // Changes after naming reach the file at Shutdown.
    f.scene()->SetItemRect(p, 11, 21, 301, 201);
    f.scene()->Shutdown();

    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    auto *ours = static_cast<CastCoreEngine *>(second.get());
    ISceneStore *store = second->GetSceneStore();
    ILiveScene *scene = second->GetScene();
    QVERIFY(store->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(names(store), (std::vector<std::string>{"image_1", "effectivetxt_2_2", "camera_3"}));

    const int p2 = store->Open("image_1");
    QVERIFY(p2 > 0);
    QCOMPARE(store->Kind(p2), int(KindPicture));
    int x, y, w, h;
    QVERIFY(scene->GetItemRect(p2, &x, &y, &w, &h));
    QCOMPARE(QRect(x, y, w, h), QRect(11, 21, 301, 201));
    QVERIFY(scene->GetItemSourceRect(p2, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(50, 40));
    QCOMPARE(scene->GetItemZ(p2), 1000001);
    int alpha = 0;
    scene->GetItemAlpha(p2, &alpha);
    QCOMPARE(alpha, 200);
    float rot = 0;
    scene->GetItemRotation(p2, &rot, 1);
    QCOMPARE(rot, 3.14159274f);
    uint32_t effect = 0;
    scene->GetItemColorEffect(p2, &effect);
    QCOMPARE(effect, 0x38465Cu);
    QVERIFY(ours->item(p2)->flag);
    int n = 0;
    const char *const *files = scene->GetItemSourceFiles(p2, &n);
    QCOMPARE(std::string(files[0]), pic);
    scene->FreeBuffer(files);

    const int t2 = store->Open("effectivetxt_2_2");
    QCOMPARE(store->Kind(t2), int(KindText));
    QCOMPARE(scene->GetItemZ(t2), 1000002);
    std::vector<char16_t> font(200), text(256), eff(kEffectiveTextUnits);
    TextInfo out;
    out.fontName = font.data();
    out.text = text.data();
    QVERIFY(scene->GetTextProperties(t2, &out));
    QCOMPARE(QString::fromUtf16(out.text), QStringLiteral("字幕 text"));
    QCOMPARE(out.size, 36);
    QCOMPARE(int(out.bold), 1);
    QCOMPARE(out.outlineColor, 0xFF00FF00u);
    QCOMPARE(out.outline, 1);
    QCOMPARE(out.outlineSize, 2.5f);
    int len = 0;
    QVERIFY(scene->GetEffectiveText(t2, eff.data(), kEffectiveTextUnits, &len));
    QCOMPARE(QString::fromUtf16(eff.data()), QStringLiteral("77,30,320,30"));
    QVERIFY(scene->GetItemSourceRect(t2, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), QSize(f.ours()->item(t)->sourceWidth, f.ours()->item(t)->sourceHeight));

    const int c2 = store->Open("camera_3");
    QCOMPARE(store->Kind(c2), int(KindCamera));
    CameraParams now;
    QVERIFY(scene->GetCameraParams(c2, &now));
    QCOMPARE(now.width, 1280);
    QCOMPARE(scene->GetItemZ(c2), 50);

    // Remove drops the live item and the saved record, also in the file.
    QVERIFY(store->Remove("camera_3"));
    QCOMPARE(store->Kind(c2), -1);
    QVERIFY(store->IsNameFree("camera_3"));
    QVERIFY(!store->Remove("camera_3"));
    second.reset();
    std::unique_ptr<ILiveEngine> third(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    QVERIFY(third->GetSceneStore()->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(names(third->GetSceneStore()), (std::vector<std::string>{"image_1", "effectivetxt_2_2"}));
}

void TestSceneStore::fillRecordLayout()
{
    static_assert(sizeof(SceneItemRecord) == 556, "record size");
    EngineFixture f;
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    const int a = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    const int b = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QVERIFY(f.store()->SetItemName(a, "image_1"));
    QVERIFY(f.store()->SetItemName(b, "shadow_2"));
    QCOMPARE(f.store()->Count(), 2);

    // Read the way the facade reads: 556-byte records, name at byte 44.
    std::vector<unsigned char> raw(3 * 556, 0xEE);
    QCOMPARE(f.store()->Fill(reinterpret_cast<SceneItemRecord *>(raw.data()), 2), 2);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(raw.data() + 44)), QByteArray("image_1"));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(raw.data() + 556 + 44)), QByteArray("shadow_2"));
    QCOMPARE(raw[2 * 556], 0xEE); // nothing past the records asked for
    QCOMPARE(f.store()->Fill(reinterpret_cast<SceneItemRecord *>(raw.data()), 1), 1);
    QCOMPARE(f.store()->Fill(nullptr, 2), 0);
}

void TestSceneStore::openFailsWhenSourceGoneOrScripted()
{
    EngineFixture f;
    const std::string a = f.picture(QStringLiteral("a.png"), 8, 8);
    const std::string b = f.picture(QStringLiteral("b.png"), 8, 8);
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    f.store()->SetItemName(f.scene()->CreateItem(a.c_str(), 0, 0, 100, 100), "image_1");
    f.store()->SetItemName(f.scene()->CreateItem(b.c_str(), 0, 0, 100, 100), "image_2");
    f.store()->SetItemName(f.engine->GetPluginHost()->OpenPlugin(u"歌名插件", 0, 0, 0, 0, 0), "plugin_3");
    f.scene()->Shutdown();
    QVERIFY(QFile::remove(QString::fromStdString(a)));

    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    store->OpenFile("scene", f.scenePath().c_str());
    QVERIFY(store->Open("image_1") < 1); // its picture is gone
    control().failOpen("image_2", -7);
    QCOMPARE(store->Open("image_2"), -7);
    control().ints().push("Open", 0);
    QCOMPARE(store->Open("plugin_3"), 0);
    const int plugin = store->Open("plugin_3");
    QVERIFY(plugin > 0);
    QCOMPARE(store->Kind(plugin), int(KindPlugin));
    // A failed open keeps the record until the caller removes it.
    QCOMPARE(store->Count(), 3);
    QVERIFY(store->Remove("image_1"));
    QCOMPARE(store->Count(), 2);
}

void TestSceneStore::twoSavedCamerasBothListed()
{
    EngineFixture f;
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    f.store()->SetItemName(f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0), "camera_1");
    f.store()->SetItemName(f.scene()->OpenCamera(u"USB2.0 HD Camera", 0, 0, 0, 0), "camera_2");
    f.scene()->Shutdown();

    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    store->OpenFile("scene", f.scenePath().c_str());
    QCOMPARE(names(store), (std::vector<std::string>{"camera_1", "camera_2"}));
    QCOMPARE(store->Kind(store->Open("camera_1")), int(KindCamera));
    QCOMPARE(store->Kind(store->Open("camera_2")), int(KindCamera));

    // A camera that is no longer attached cannot be opened.
    World world = World::builtIn();
    world.cameras.clear();
    control().setWorld(world);
    std::unique_ptr<ILiveEngine> third(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    third->GetSceneStore()->OpenFile("scene", f.scenePath().c_str());
    QVERIFY(third->GetSceneStore()->Open("camera_1") < 1);
}

void TestSceneStore::unreadableSceneFileKeptAside()
{
    EngineFixture f;
    const QString path = QString::fromStdString(f.scenePath());
    QVERIFY(writeFile(path, "{ not json"));
    QVERIFY(!f.store()->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(f.store()->Count(), 0);
    QFile aside(path + QStringLiteral(".bad"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), QByteArray("{ not json"));

    // The store still works and writes a sound file.
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    QVERIFY(f.store()->SetItemName(f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100), "image_1"));
    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    QVERIFY(second->GetSceneStore()->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(second->GetSceneStore()->Count(), 1);
}

void TestSceneStore::namesMustFitTheRecord_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("kept");
    QTest::newRow("255 bytes") << QByteArray(255, 'n') << true;
    QTest::newRow("256 bytes") << QByteArray(256, 'n') << false;
    QTest::newRow("300 bytes") << QByteArray(300, 'n') << false;
    // 85 and 86 three-byte characters: 255 and 258 bytes.
    QTest::newRow("255 bytes of UTF-8") << QStringLiteral("图").repeated(85).toUtf8() << true;
    QTest::newRow("258 bytes of UTF-8") << QStringLiteral("图").repeated(86).toUtf8() << false;
}

void TestSceneStore::namesMustFitTheRecord()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, kept);
    EngineFixture f;
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    const std::string pic = f.picture(QStringLiteral("p.png"), 8, 8);
    const int id = f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100);
    QCOMPARE(f.store()->SetItemName(id, name.constData()), kept);
    QCOMPARE(f.store()->IsNameFree(name.constData()), !kept);
    f.scene()->Shutdown();

    // What is kept is listed whole, and a new run opens and removes it by
    // the listed name.
    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    ISceneStore *store = second->GetSceneStore();
    QVERIFY(store->OpenFile("scene", f.scenePath().c_str()));
    const std::vector<std::string> listed = names(store);
    QCOMPARE(int(listed.size()), kept ? 1 : 0);
    if (!kept)
        return;
    QCOMPARE(QByteArray::fromStdString(listed.front()), name);
    QVERIFY(store->Open(listed.front().c_str()) > 0);
    QVERIFY(store->Remove(listed.front().c_str()));
    QCOMPARE(store->Count(), 0);
}

void TestSceneStore::overlongSavedNameSkipped()
{
    EngineFixture f;
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    TextRecord text(u"abc");
    QVERIFY(f.store()->SetItemName(f.scene()->CreateTextItem(&text.info, 1, 1), "text_1"));
    QVERIFY(f.store()->SetItemName(f.scene()->CreateTextItem(&text.info, 1, 1), "text_2"));
    f.scene()->Shutdown();

    // A hand-edited file gives one item a name no record can hold.
    QFile file(QString::fromStdString(f.scenePath()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    QVERIFY(bytes.contains("\"text_1\""));
    bytes.replace("\"text_1\"", "\"" + QByteArray(256, 'n') + "\"");
    QVERIFY(writeFile(file.fileName(), bytes));

    std::unique_ptr<ILiveEngine> second(CreateLiveInstance(&f.listener, 3, 0, 0, 0, 2));
    QVERIFY(second->GetSceneStore()->OpenFile("scene", f.scenePath().c_str()));
    QCOMPARE(names(second->GetSceneStore()), (std::vector<std::string>{"text_2"}));
}

void TestSceneStore::outOfRangeTextValuesClamped_data()
{
    QTest::addColumn<QByteArray>("size");
    QTest::addColumn<QByteArray>("colour");
    QTest::addColumn<QSize>("sourceSize");
    QTest::addColumn<uint>("readColour");
    // "abc" at 40: 18 tenths of an em wide, 1.25 em high, rounded up.
    QTest::newRow("ordinary") << QByteArray("40") << QByteArray("16777215") << QSize(72, 50) << 0xFFFFFFu;
    QTest::newRow("size 500000000") << QByteArray("500000000") << QByteArray("255") << QSize(100000, 100000)
                                    << 255u;
    QTest::newRow("first size whose 5/4 passes int") << QByteArray("429496730") << QByteArray("0")
                                                     << QSize(100000, 100000) << 0u;
    QTest::newRow("largest int size") << QByteArray("2147483647") << QByteArray("0") << QSize(100000, 100000)
                                      << 0u;
    QTest::newRow("largest colour") << QByteArray("40") << QByteArray("4294967295") << QSize(72, 50)
                                    << 0xFFFFFFFFu;
    QTest::newRow("colour past 32 bits") << QByteArray("40") << QByteArray("4294967296") << QSize(72, 50)
                                         << 0xFFFFFFFFu;
    QTest::newRow("colour 1e300") << QByteArray("40") << QByteArray("1e300") << QSize(72, 50) << 0xFFFFFFFFu;
    QTest::newRow("colour -1") << QByteArray("40") << QByteArray("-1") << QSize(72, 50) << 0u;
    QTest::newRow("colour -1e300") << QByteArray("40") << QByteArray("-1e300") << QSize(72, 50) << 0u;
}

// A hand-edited scene file: sizes and colours of any magnitude come back
// clamped, never wrapped.
void TestSceneStore::outOfRangeTextValuesClamped()
{
    QFETCH(QByteArray, size);
    QFETCH(QByteArray, colour);
    QFETCH(QSize, sourceSize);
    QFETCH(uint, readColour);

    EngineFixture f;
    const QByteArray text = "{\"format\":\"castcore-scene\",\"version\":1,\"items\":[{\"name\":\"effectivetxt_1\","
                            "\"kind\":4,\"colorEffect\":"
        + colour + ",\"text\":{\"text\":\"abc\",\"size\":" + size + ",\"color\":" + colour
        + ",\"backgroundColor\":" + colour + ",\"outlineColor\":" + colour + "}}]}";
    QVERIFY(writeFile(QString::fromStdString(f.scenePath()), text));
    QVERIFY(f.store()->OpenFile("scene", f.scenePath().c_str()));
    const int id = f.store()->Open("effectivetxt_1");
    QVERIFY(id > 0);

    int x, y, w, h;
    QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
    QCOMPARE(QSize(w, h), sourceSize);
    uint32_t effect = 1;
    QVERIFY(f.scene()->GetItemColorEffect(id, &effect));
    QCOMPARE(effect, readColour);
    TextInfo info;
    QVERIFY(f.scene()->GetTextProperties(id, &info));
    QCOMPARE(info.color, readColour);
    QCOMPARE(info.backgroundColor, readColour);
    QCOMPARE(info.outlineColor, readColour);
}

std::unique_ptr<QObject> makeSceneStoreTest()
{
    return std::make_unique<TestSceneStore>();
}

#include "tst_scenestore.moc"
