// The workspace on the layers: its panels, the engine start record, the
// saved scene restored into the source pages and the item list (with what
// the pages refuse taken out of the scene), and the removal of an item from
// the item list and from the preview's menu, which reaches the page, the
// list and the engine in that order.

#include "FacadeFixture.h"
#include "MenuPicker.h"
#include "SysConfig.h"
#include "UiInsertPicWidget.h"
#include "UiSampleWidget.h"
#include "UiScreenItemControlWidget.h"
#include "UiSetBeauty.h"
#include "UiSetCaptureScreen.h"
#include "UiSetLiving.h"
#include "UiSetPicture.h"
#include "UiSetSubtitle.h"
#include "UiSetting.h"
#include "UiVideo.h"
#include "UiWorking.h"
#include "WorkspaceRestore.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <memory>
#include <thread>

using testsupport::FacadeFixture;
using testsupport::MenuPicker;
using testsupport::TextRecord;

namespace {

const char *const kBackground = "./effect/background.png";
const char *const kSubtitlePicture = "./effect/subtitle/1.png";
const char *const kSubtitleThumbnail = "./effect/subtitle/small_1.png";
const char *const kSticker = "./effect/pendant/冰水.png";

// One list entry as the test reads it.
struct Entry
{
    QString path;
    QString desc;
    int id;
    bool operator==(const Entry &o) const { return path == o.path && desc == o.desc && id == o.id; }
};

char *toString(const Entry &e)
{
    return QTest::toString(QStringLiteral("(%1, %2, %3)").arg(e.path, e.desc).arg(e.id));
}

// A workspace over the fixture's facade, with a settings store of its own
// temporary environment, as the main window hands them down.
struct Workspace
{
    std::unique_ptr<SysConfig> config = std::make_unique<SysConfig>();
    std::unique_ptr<UiWorking> w = std::make_unique<UiWorking>();

    int start(LiveProxy *proxy)
    {
        w->setConfig(config.get());
        return w->setLiveProxy(proxy);
    }

    UiSetting *tabs() const { return w->findChild<UiSetting *>(); }
    UiVideo *preview() const { return w->findChild<UiVideo *>(); }
    UiScreenItemControlWidget *list() const { return w->getSetLiving()->getScreenItemControl(); }
    UiInsertPicWidget *pictures() const { return tabs()->getSetPicture()->getInsertPicWidget(); }
    UiSampleWidget *stickers() const { return tabs()->getSetPicture()->getSampleWidget(); }
    UiSetSubtitle *subtitles() const { return tabs()->getSetSubtitle(); }

    // The list's entries, by id.
    QList<Entry> entries() const
    {
        QList<Entry> out;
        for (int i = 0; i < list()->recordCount(); ++i) {
            const ScreenItemRecord &r = list()->recordAt(i);
            out << Entry{QString::fromUtf8(r.picturePath), QString::fromUtf8(r.description), r.itemId};
        }
        std::sort(out.begin(), out.end(), [](const Entry &a, const Entry &b) { return a.id < b.id; });
        return out;
    }

    QList<int> heldPictures() const
    {
        QList<int> ids;
        for (const PictureItem &p : pictures()->pictures())
            ids << p.id;
        return ids;
    }
};

bool listed(const std::vector<int> &ids, int id)
{
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Right click at a preview point (preview pixels) with the menu's choice.
bool chooseFromPreviewMenu(UiVideo *preview, QPoint p, const QString &choice)
{
    MenuPicker picker(choice);
    QWidget *surface = preview->findChild<QWidget *>(QStringLiteral("widget_preview"));
    QMouseEvent e(QEvent::MouseButtonPress, p, surface->mapToGlobal(p), Qt::RightButton, Qt::RightButton,
                  Qt::NoModifier);
    QApplication::sendEvent(surface, &e);
    return picker.chosen();
}

// What the page and the item list held when the engine was asked to remove
// an item: the engine's "Remove" is held at its gate while another thread
// looks, the GUI thread standing still inside the removal.
struct StateAtEngineRemoval
{
    std::atomic<bool> seen{false};
    std::atomic<bool> pageHeld{false};
    std::atomic<bool> listHeld{false};
    std::thread watcher;

    template <typename PageHolds>
    StateAtEngineRemoval(const Workspace &ws, int id, PageHolds pageHolds)
    {
        castcore::control().gates().close("Remove");
        watcher = std::thread([this, &ws, id, pageHolds] {
            if (castcore::control().gates().waitForWaiting("Remove", 1, 5000)) {
                pageHeld = pageHolds();
                listHeld = ws.list()->findRecord(id) >= 0;
                seen = true;
            }
            castcore::control().gates().open("Remove");
        });
    }
    ~StateAtEngineRemoval()
    {
        if (watcher.joinable())
            watcher.join();
        castcore::control().gates().open("Remove");
    }
    void finish() { watcher.join(); }
};

} // namespace

class WorkspaceTest : public QObject
{
    Q_OBJECT

private slots:
    void panelsAndTheirPlaces();
    void engineStartRecord_data();
    void engineStartRecord();
    void failedStartHandsNothingDown();
    void savedSceneIsRestored();
    void fourthPictureLeavesTheScene();
    void stickerOutsideTheSamplesLeavesTheScene();
    void secondSubtitleLeavesTheScene();
    void sceneNamingMissingFilesStarts();
    void stickerDescriptions_data();
    void stickerDescriptions();
    void pageSignalsReachTheItemList();
    void removalFromTheList_data();
    void removalFromTheList();
    void removalFromThePreviewMenu_data();
    void removalFromThePreviewMenu();
    void removedPictureFreesItsSlotAndRenumbers();
    void removedSubtitleLetsThePageAddAnother();
    void restackingFromThePreviewReordersTheList();
    void cameraPageReportsReachThePreview();
};

void WorkspaceTest::panelsAndTheirPlaces()
{
    testsupport::TempEnvironment env;
    UiWorking w;
    QCOMPARE(w.size(), QSize(1200, 740));
    auto *tabArea = w.findChild<QWidget *>(QStringLiteral("widget_setting_area"));
    auto *videoArea = w.findChild<QWidget *>(QStringLiteral("widget_video"));
    QVERIFY(tabArea && videoArea);
    QCOMPARE(tabArea->geometry(), QRect(0, 0, 352, 740));
    QCOMPARE(videoArea->geometry(), QRect(394, 6, 800, 450));
    QCOMPARE(videoArea->styleSheet(), QStringLiteral("background-color: rgb(0, 0, 0);"));
    auto *tabs = w.findChild<UiSetting *>();
    auto *preview = w.findChild<UiVideo *>();
    QVERIFY(tabs && preview);
    QCOMPARE(tabs->parentWidget(), tabArea);
    QCOMPARE(preview->parentWidget(), videoArea);
    // The preview reaches the workspace as its grandparent.
    QCOMPARE(preview->parentWidget()->parentWidget(), &w);
    QCOMPARE(w.getSetLiving()->parentWidget(), &w);
    QCOMPARE(w.getSetLiving()->geometry(), QRect(352, 456, 848, 1184));
    QCOMPARE(w.getSetBeauty(), tabs->getSetBeauty());
}

void WorkspaceTest::engineStartRecord_data()
{
    QTest::addColumn<QByteArray>("camera"); // the "camera" section, empty for none
    QTest::addColumn<int>("bitRate");       // kbit/s
    QTest::addColumn<int>("frameRate");
    QTest::newRow("no camera section") << QByteArray() << 1000 << 25;
    QTest::newRow("index 0") << QByteArray("{\"camera_index_resolution\":0}") << 800 << 20;
    QTest::newRow("index 1") << QByteArray("{\"camera_index_resolution\":1}") << 1000 << 25;
    QTest::newRow("index 2") << QByteArray("{\"camera_index_resolution\":2}") << 1300 << 25;
    QTest::newRow("index 5") << QByteArray("{\"camera_index_resolution\":5}") << 1000 << 25;
    QTest::newRow("index -1") << QByteArray("{\"camera_index_resolution\":-1}") << 1000 << 25;
}

void WorkspaceTest::engineStartRecord()
{
    QFETCH(QByteArray, camera);
    QFETCH(int, bitRate);
    QFETCH(int, frameRate);
    FacadeFixture f;
    if (!camera.isEmpty()) {
        QDir().mkpath(QFileInfo(SysConfig::filePath()).absolutePath());
        QFile file(SysConfig::filePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\"camera\":" + camera + "}");
    }
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);

    LiveParams out;
    f.proxy->getLiveVideoConfig(&out);
    QCOMPARE(out.outputWidth, 1280);
    QCOMPARE(out.outputHeight, 720);
    QCOMPARE(out.bitRate, bitRate * 1000);
    QCOMPARE(out.frameRate, frameRate);
    QCOMPARE(f.proxy->previewWidth(), 800);
    QCOMPARE(f.proxy->previewHeight(), 450);
    // The scene runs in the preview surface's native window.
    const QStringList init = f.callsOf("Init");
    QCOMPARE(init.size(), 1);
    QVERIFY2(init[0].endsWith(QLatin1Char(',') + QString::number(quint64(ws.preview()->previewWindowId())) +
                              QLatin1Char(')')),
             qPrintable(init[0]));
}

void WorkspaceTest::failedStartHandsNothingDown()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    const int picture = f.proxy->addImage(f.picture(QStringLiteral("a.png"), 64, 36), 255, 3);
    f.proxy->setItemGeometry(picture, 160, 160, 320, 160);
    f.restart();

    castcore::control().ints().push("Init", -7);
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), -7);
    QCOMPARE(ws.list()->recordCount(), 0);
    QVERIFY(ws.heldPictures().isEmpty());
    // The preview got no facade: a press selects nothing.
    QWidget *surface = ws.preview()->findChild<QWidget *>(QStringLiteral("widget_preview"));
    QTest::mousePress(surface, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    QCOMPARE(f.proxy->currentItemId(), -1);
}

void WorkspaceTest::savedSceneIsRestored()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    const int background = f.proxy->addBottomImage(kBackground, 255, 0);
    const std::string a = f.picture(QStringLiteral("a.png"), 64, 36);
    const std::string b = f.picture(QStringLiteral("图片b.png"), 32, 18);
    const int pictureA = f.proxy->addImage(a, 255, 3);
    const int pictureB = f.proxy->addImage(b, 255, 3);
    const int sticker = f.proxy->addPendant(kSticker, 255, 3);
    const int full = f.proxy->addFullScreenCapture(0, 1);
    const int region = f.proxy->addScreenCapture(QRect(0, 0, 320, 180), 0, 3);
    TextRecord text(u"欢迎");
    const int subtitle = f.proxy->addEffectiveText(kSubtitlePicture, QRect(77, 30, 320, 30), &text.info);
    const int camera = f.proxy->openCamera(f.cameraName(), 2);
    for (int id : {background, pictureA, pictureB, sticker, full, region, subtitle, camera})
        QVERIFY(id > 0);
    f.restart();

    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);

    // Item ids are the engine's and start over with each run: find them by kind.
    std::vector<int> ids;
    f.proxy->sortedItemIds(ids);
    QMap<QString, int> byWhat;
    for (int id : ids) {
        std::string source;
        f.proxy->getItemSource(id, &source);
        const int type = f.proxy->itemType(id);
        if (type == SceneItemPicture)
            byWhat[QString::fromStdString(source)] = id;
        else if (type == SceneItemPendant)
            byWhat[QStringLiteral("sticker")] = id;
        else if (type == SceneItemEffectiveText)
            byWhat[QStringLiteral("subtitle")] = id;
        else if (type == SceneItemScreenCapture)
            byWhat[f.proxy->getItemZorder(id) == 20 ? QStringLiteral("full") : QStringLiteral("region")] = id;
        else if (type == SceneItemCamera)
            byWhat[QStringLiteral("camera")] = id;
    }
    const QString pathA = QString::fromStdString(a);
    const QString pathB = QString::fromStdString(b);
    QCOMPARE(byWhat.size(), 8);

    // The background stays in the scene, unlisted; so does the camera.
    QVERIFY(byWhat.contains(QString::fromLatin1(kBackground)));
    const QList<Entry> entries = ws.entries();
    QList<Entry> expected{
        {pathA, QString(), byWhat[pathA]},
        {pathB, QString(), byWhat[pathB]},
        {QString::fromUtf8(kSticker), QStringLiteral("冰水"), byWhat[QStringLiteral("sticker")]},
        {QStringLiteral(":/image/skin/snotscreenmiddle.png"), QStringLiteral("全屏截取"), byWhat[QStringLiteral("full")]},
        {QStringLiteral(":/image/skin/snotscreenmiddle.png"), QStringLiteral("手动截取1"),
         byWhat[QStringLiteral("region")]},
        {QString::fromLatin1(kSubtitleThumbnail), QStringLiteral("字幕"), byWhat[QStringLiteral("subtitle")]},
    };
    // Picture entries are numbered by the list in its own order.
    QList<Entry> got = entries;
    for (Entry &e : got)
        if (e.id == byWhat[pathA] || e.id == byWhat[pathB]) {
            QVERIFY2(e.desc.startsWith(QStringLiteral("图片")), qPrintable(e.desc));
            e.desc.clear();
        }
    std::sort(expected.begin(), expected.end(), [](const Entry &x, const Entry &y) { return x.id < y.id; });
    QCOMPARE(got, expected);

    // The pages hold what is theirs.
    QCOMPARE(ws.heldPictures(), (QList<int>{byWhat[pathA], byWhat[pathB]}));
    QVERIFY(ws.stickers()->sceneIds().contains(byWhat[QStringLiteral("sticker")]));
    QCOMPARE(ws.subtitles()->subtitleItemId(), byWhat[QStringLiteral("subtitle")]);
    // Nothing was taken out of the scene.
    QCOMPARE(int(ids.size()), int(f.proxy->itemIds().size()));
}

void WorkspaceTest::fourthPictureLeavesTheScene()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    QStringList paths;
    for (int i = 0; i < 4; ++i) {
        const std::string p = f.picture(QStringLiteral("p%1.png").arg(i), 16 + i, 9);
        paths << QString::fromStdString(p);
        QVERIFY(f.proxy->addImage(p, 255, 3) > 0);
    }
    f.restart();

    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    // The three lowest in z-order are held and listed; the fourth is gone.
    QCOMPARE(ws.pictures()->pictures().size(), 3);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(ws.pictures()->pictures().at(i).path, paths[i]);
    QCOMPARE(ws.list()->recordCount(), 3);
    std::vector<int> ids;
    f.proxy->sortedItemIds(ids);
    for (int id : ids) {
        std::string source;
        f.proxy->getItemSource(id, &source);
        QVERIFY(QString::fromStdString(source) != paths[3]);
    }

    // The next start no longer finds it.
    f.restart();
    Workspace again;
    QCOMPARE(again.start(f.proxy.get()), 0);
    QCOMPARE(again.pictures()->pictures().size(), 3);
    QCOMPARE(again.list()->recordCount(), 3);
}

void WorkspaceTest::stickerOutsideTheSamplesLeavesTheScene()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    // A pendant whose file is no sample (any more).
    QVERIFY(QFile::copy(QString::fromUtf8(kSticker), QStringLiteral("./effect/pendant/heart-01.png")));
    const int stray = f.proxy->addPendant("./effect/pendant/heart-01.png", 255, 3);
    const int sample = f.proxy->addPendant(kSticker, 255, 3);
    QVERIFY(stray > 0 && sample > 0);
    f.restart();

    const int logStart = FacadeFixture::logSize();
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    const QList<Entry> entries = ws.entries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].path, QString::fromUtf8(kSticker));
    QCOMPARE(entries[0].desc, QStringLiteral("冰水"));
    std::vector<int> ids;
    f.proxy->sortedItemIds(ids);
    int pendants = 0;
    for (int id : ids)
        pendants += f.proxy->itemType(id) == SceneItemPendant;
    QCOMPARE(pendants, 1);
    // The facade logs each removal by id.
    int removals = 0;
    for (const QString &line : FacadeFixture::logSince(logStart))
        removals += line.startsWith(QStringLiteral("remove item: ")) && line.endsWith(QLatin1Char('.'));
    QCOMPARE(removals, 1);
}

void WorkspaceTest::secondSubtitleLeavesTheScene()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    TextRecord first(u"第一");
    TextRecord second(u"第二");
    const int lower = f.proxy->addEffectiveText(kSubtitlePicture, QRect(77, 30, 320, 30), &first.info);
    const int upper = f.proxy->addEffectiveText("./effect/subtitle/2.png", QRect(77, 30, 320, 30), &second.info);
    QVERIFY(lower > 0 && upper > 0);
    f.restart();

    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    const QList<Entry> entries = ws.entries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].desc, QStringLiteral("字幕"));
    QCOMPARE(entries[0].path, QString::fromLatin1(kSubtitleThumbnail));
    QCOMPARE(ws.subtitles()->subtitleItemId(), entries[0].id);
    std::vector<int> ids;
    f.proxy->sortedItemIds(ids);
    int subtitles = 0;
    for (int id : ids)
        subtitles += f.proxy->itemType(id) == SceneItemEffectiveText;
    QCOMPARE(subtitles, 1);
}

void WorkspaceTest::sceneNamingMissingFilesStarts()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    const std::string gone = f.picture(QStringLiteral("gone.png"), 16, 9);
    const std::string kept = f.picture(QStringLiteral("kept.png"), 16, 9);
    const int goneId = f.proxy->addImage(gone, 255, 3);
    const int keptId = f.proxy->addImage(kept, 255, 3);
    QVERIFY(goneId > 0 && keptId > 0);
    f.restart();
    QVERIFY(QFile::remove(QString::fromStdString(gone)));

    const int logStart = FacadeFixture::logSize();
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    QVERIFY(FacadeFixture::logSince(logStart).contains(
        QStringLiteral("remove item: image_%1 because open fail.").arg(goneId)));
    const QList<Entry> entries = ws.entries();
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries[0].path, QString::fromStdString(kept));
    QCOMPARE(ws.pictures()->pictures().size(), 1);
}

void WorkspaceTest::stickerDescriptions_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("desc");
    QTest::newRow("dash") << QStringLiteral("./effect/pendant/heart-01.png") << QStringLiteral("heart");
    QTest::newRow("plain") << QStringLiteral("./effect/pendant/冰水.png") << QStringLiteral("冰水");
    QTest::newRow("two dots") << QStringLiteral("/a.b/star.big.png") << QStringLiteral("star");
    QTest::newRow("dash after dot") << QStringLiteral("/x/cat.v-2.png") << QStringLiteral("cat");
    QTest::newRow("leading dash") << QStringLiteral("/x/-m.png") << QString();
}

void WorkspaceTest::stickerDescriptions()
{
    QFETCH(QString, path);
    QFETCH(QString, desc);
    QCOMPARE(workspace::stickerDescription(path), desc);
}

void WorkspaceTest::pageSignalsReachTheItemList()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    const int picture = f.proxy->addImage(f.picture(QStringLiteral("a.png"), 16, 9), 255, 3);
    const int capture = f.proxy->addScreenCapture(QRect(0, 0, 320, 180), 0, 3);
    TextRecord text(u"字");
    const int subtitle = f.proxy->addEffectiveText(kSubtitlePicture, QRect(77, 30, 320, 30), &text.info);

    emit ws.tabs()->getSetPicture()->add_screenitem(QStringLiteral("a.png"), QStringLiteral("picture"), picture);
    emit ws.tabs()->getSetCaptureScreen()->add_captureitem(QStringLiteral(":/image/skin/snotscreenmiddle.png"),
                                                          QStringLiteral("手动截取"), capture);
    emit ws.subtitles()->add_subtitle(QStringLiteral("./effect/subtitle/small_1.png"), QStringLiteral("字幕"), subtitle);
    QCOMPARE(ws.list()->recordCount(), 3);

    emit ws.subtitles()->change_subtitletemplate(subtitle, QStringLiteral("./effect/subtitle/small_2.png"));
    QCOMPARE(QString::fromUtf8(ws.list()->recordAt(ws.list()->findRecord(subtitle)).picturePath),
             QStringLiteral("./effect/subtitle/small_2.png"));

    emit ws.tabs()->getSetPicture()->del_imageitem(picture);
    QCOMPARE(ws.list()->findRecord(picture), -1);
    emit ws.subtitles()->del_subtitle(subtitle);
    QCOMPARE(ws.list()->findRecord(subtitle), -1);
    QCOMPARE(ws.list()->recordCount(), 1);
    // Items stay in the scene: the pages remove their own.
    QVERIFY(listed(f.proxy->itemIds(), picture));
    QVERIFY(listed(f.proxy->itemIds(), subtitle));
}

namespace {

// A started workspace with one item of each listed kind, added and listed
// as the pages add them.
struct ListedScene
{
    FacadeFixture f;
    // Made once effect/ is in place: the pages read their samples and
    // templates when they are built.
    std::unique_ptr<Workspace> made;
    Workspace &ws;
    int picture = 0;
    int sticker = 0;
    int capture = 0;
    int subtitle = 0;

    ListedScene()
        : ws(prepare())
    {
        const std::string a = f.picture(QStringLiteral("a.png"), 64, 36);
        f.proxy->addImage(a, 255, 3);
        f.proxy->addPendant(kSticker, 255, 3);
        f.proxy->addScreenCapture(QRect(0, 0, 320, 180), 0, 3);
        TextRecord text(u"字");
        f.proxy->addEffectiveText(kSubtitlePicture, QRect(77, 30, 320, 30), &text.info);
        f.restart();
        ws.start(f.proxy.get());
        std::vector<int> ids;
        f.proxy->sortedItemIds(ids);
        for (int id : ids) {
            switch (f.proxy->itemType(id)) {
            case SceneItemPicture: {
                std::string s;
                f.proxy->getItemSource(id, &s);
                if (s != kBackground)
                    picture = id;
                break;
            }
            case SceneItemPendant:
                sticker = id;
                break;
            case SceneItemScreenCapture:
                capture = id;
                break;
            case SceneItemEffectiveText:
                subtitle = id;
                break;
            default:
                break;
            }
        }
    }

    Workspace &prepare()
    {
        f.env.copyEffectFolder();
        f.init();
        made = std::make_unique<Workspace>();
        return *made;
    }

    // Whether the owning page still holds the item.
    std::function<bool()> pageHolds(int id) const
    {
        const Workspace *w = &ws;
        if (id == picture)
            return [w, id] { return w->heldPictures().contains(id); };
        if (id == sticker)
            return [w, id] { return w->stickers()->sceneIds().contains(id); };
        if (id == subtitle)
            return [w, id] { return w->subtitles()->subtitleItemId() == id; };
        return [] { return false; };
    }
    int idOf(const QString &kind) const
    {
        return kind == QLatin1String("picture") ? picture
             : kind == QLatin1String("sticker") ? sticker
             : kind == QLatin1String("capture") ? capture
                                                : subtitle;
    }
};

void addKinds()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("picture") << QStringLiteral("picture");
    QTest::newRow("sticker") << QStringLiteral("sticker");
    QTest::newRow("capture") << QStringLiteral("capture");
    QTest::newRow("subtitle") << QStringLiteral("subtitle");
}

} // namespace

void WorkspaceTest::removalFromTheList_data()
{
    addKinds();
}

void WorkspaceTest::removalFromTheList()
{
    QFETCH(QString, kind);
    ListedScene s;
    const int id = s.idOf(kind);
    QVERIFY(id > 0);
    QVERIFY(s.ws.list()->findRecord(id) >= 0);
    if (kind != QLatin1String("capture"))
        QVERIFY(s.pageHolds(id)());

    // The cell's remove button: the list drops its entry and reports it.
    StateAtEngineRemoval at(s.ws, id, s.pageHolds(id));
    const int index = s.ws.list()->findRecord(id);
    s.ws.list()->slot_onScreenItemDelClicked(0, index % UiScreenItemControlWidget::kCellsPerPage);
    at.finish();
    QVERIFY(at.seen);
    QVERIFY(!at.pageHeld);
    QVERIFY(!at.listHeld);
    QVERIFY(!listed(s.f.proxy->itemIds(), id));
    QCOMPARE(s.ws.list()->findRecord(id), -1);
}

void WorkspaceTest::removalFromThePreviewMenu_data()
{
    addKinds();
}

void WorkspaceTest::removalFromThePreviewMenu()
{
    QFETCH(QString, kind);
    ListedScene s;
    const int id = s.idOf(kind);
    QVERIFY(id > 0);
    StateAtEngineRemoval at(s.ws, id, s.pageHolds(id));
    if (id == s.subtitle) {
        // The preview never picks an effective text; its menu action
        // works on whatever item is selected.
        s.f.proxy->setCurrentItemId(id);
        s.ws.preview()->slot_removeVideoItem();
    } else {
        // Bring the item to the top and place it under the pointer.
        s.f.proxy->moveItemToTop(id);
        s.f.proxy->setItemRect(id, 160, 160, 320, 160);
        QVERIFY(chooseFromPreviewMenu(s.ws.preview(), QPoint(200, 150), QStringLiteral("移除")));
    }
    at.finish();
    QVERIFY(at.seen);
    // The page let go and the list dropped the entry before the engine was asked.
    QVERIFY(!at.pageHeld);
    QVERIFY(!at.listHeld);
    QVERIFY(!listed(s.f.proxy->itemIds(), id));
    QCOMPARE(s.f.proxy->currentItemId(), -1);
}

void WorkspaceTest::removedPictureFreesItsSlotAndRenumbers()
{
    FacadeFixture f;
    QVERIFY(f.env.copyEffectFolder());
    QCOMPARE(f.init(), 0);
    for (int i = 0; i < 3; ++i)
        f.proxy->addImage(f.picture(QStringLiteral("p%1.png").arg(i), 16, 9), 255, 3);
    f.restart();
    Workspace ws;
    QCOMPARE(ws.start(f.proxy.get()), 0);
    QCOMPARE(ws.heldPictures().size(), 3);
    const int middle = ws.heldPictures().at(1);
    f.proxy->moveItemToTop(middle);
    f.proxy->setItemRect(middle, 160, 160, 320, 160);

    QVERIFY(chooseFromPreviewMenu(ws.preview(), QPoint(200, 150), QStringLiteral("移除")));
    QCOMPARE(ws.heldPictures().size(), 2);
    QVERIFY(!ws.heldPictures().contains(middle));
    QStringList descs;
    for (const Entry &e : ws.entries())
        descs << e.desc;
    descs.sort();
    QCOMPARE(descs, (QStringList{QStringLiteral("图片1"), QStringLiteral("图片2")}));
    // The freed slot takes a picture again.
    QVERIFY(ws.pictures()->AddPicture(99, QStringLiteral("x.png")));
}

void WorkspaceTest::removedSubtitleLetsThePageAddAnother()
{
    ListedScene s;
    s.f.proxy->setCurrentItemId(s.subtitle);
    s.ws.preview()->slot_removeVideoItem();
    QVERIFY(!listed(s.f.proxy->itemIds(), s.subtitle));
    QCOMPARE(s.ws.subtitles()->subtitleItemId(), -1);
    // The page adopts a subtitle again.
    TextRecord text(u"新");
    const int next = s.f.proxy->addEffectiveText(kSubtitlePicture, QRect(77, 30, 320, 30), &text.info);
    QCOMPARE(s.ws.subtitles()->restoreSubtitleItem(next), QString::fromLatin1(kSubtitleThumbnail));
}

void WorkspaceTest::restackingFromThePreviewReordersTheList()
{
    ListedScene s;
    // The picture lowest, alone under the pointer.
    s.f.proxy->moveItemToBottom(s.picture);
    s.f.proxy->setItemRect(s.picture, 160, 160, 320, 160);
    for (int id : {s.sticker, s.capture, s.subtitle})
        s.f.proxy->setItemRect(id, 1000, 600, 100, 50);
    s.ws.w->on_flushScreenItemList();
    // The list shows the top-most item first.
    QCOMPARE(s.ws.list()->recordAt(s.ws.list()->recordCount() - 1).itemId, s.picture);

    QVERIFY(chooseFromPreviewMenu(s.ws.preview(), QPoint(200, 150), QStringLiteral("置顶")));
    QCOMPARE(s.ws.list()->recordAt(0).itemId, s.picture);
    QVERIFY(chooseFromPreviewMenu(s.ws.preview(), QPoint(200, 150), QStringLiteral("置底")));
    QCOMPARE(s.ws.list()->recordAt(s.ws.list()->recordCount() - 1).itemId, s.picture);
}

void WorkspaceTest::cameraPageReportsReachThePreview()
{
    // The camera page's report is connected to the workspace (the preview
    // ignores it; the connection itself is what is checked).
    testsupport::TempEnvironment env;
    UiWorking w;
    QVERIFY(QObject::disconnect(w.getSetBeauty(), &UiSetBeauty::signal_cameraOpened, &w, &UiWorking::setCameraOpened));
}

QTEST_MAIN(WorkspaceTest)
#include "tst_workspace.moc"
