#include "LayerScan.h"
#include "TempEnvironment.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace layers;

namespace {

// "path|include|include...": a file of the fixture tree; an include in <>
// is written as it stands, any other in quotes.
bool writeTree(const QString &root, const QStringList &files)
{
    for (const QString &spec : files) {
        QStringList parts = spec.split(QLatin1Char('|'));
        const QString path = root + QLatin1Char('/') + parts.takeFirst();
        if (!QDir().mkpath(QFileInfo(path).path()))
            return false;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return false;
        for (const QString &inc : parts) {
            const QString line = inc.startsWith(QLatin1Char('<')) ? QStringLiteral("#include %1\n").arg(inc)
                                                                 : QStringLiteral("#include \"%1\"\n").arg(inc);
            f.write(line.toUtf8());
        }
    }
    return true;
}

QStringList upwardPairs(const SourceTree &tree)
{
    QStringList pairs;
    for (const UpwardInclude &u : upwardIncludes(tree))
        pairs.append(u.include.from + QLatin1String(" -> ") + u.include.to);
    return pairs;
}

QStringList cycleMembers(const SourceTree &tree)
{
    QStringList members;
    for (const UnitCycle &c : unitCycles(tree))
        members.append(c.units.join(QLatin1Char(' ')));
    return members;
}

QString report(const QStringList &lines)
{
    return QString::number(lines.size()) + QLatin1String(" offender(s):\n") + lines.join(QLatin1Char('\n'));
}

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    void floorsAreFixed();
    void fixtureTree_data();
    void fixtureTree();
    void reportsNameTheOffenders();
    void sourceTreeIsRead();
    void noIncludeReachesUp();
    void noUnitsDependOnEachOther();

private:
    SourceTree m_source;
    bool m_read = false;
    const SourceTree &source();
};

const SourceTree &TestLayers::source()
{
    if (!m_read) {
        m_source = SourceTree::read(QStringLiteral(MORVA_SOURCE_DIR));
        m_read = true;
    }
    return m_source;
}

void TestLayers::floorsAreFixed()
{
    QStringList table;
    for (const Floor &f : floorTable())
        table.append(QStringLiteral("%1:%2").arg(f.level).arg(f.folder));
    QCOMPARE(table, (QStringList{"0:foundation", "1:platform/common", "2:platform/castcore/api",
                                 "3:platform/castcore/scene", "4:platform/castcore/control", "5:platform",
                                 "6:platform/castcore/mvencode", "7:ui/widgets", "7:web", "8:live", "9:login",
                                 "9:editors", "9:room", "10:mainwindow", "11:app"}));
    QCOMPARE(folderOf("platform/castcore/output/EncodeLibrary.h"), QString("platform"));
    QCOMPARE(folderOf("platform/castcore/mvencode/PushOutput.h"), QString("platform/castcore/mvencode"));
    QCOMPARE(folderOf("platform/castcore/scene/SceneState.h"), QString("platform/castcore/scene"));
    QCOMPARE(folderOf("platform/common/World.h"), QString("platform/common"));
    QCOMPARE(folderOf("web/view/WebViewDlg.h"), QString("web"));
    QCOMPARE(folderOf("ui/widgets/MvButton.h"), QString("ui/widgets"));
    QCOMPARE(folderOf("tests/layers/tst_layers.cpp"), QString());
    QCOMPARE(unitOf("live/LiveProxy.cpp"), QString("live/LiveProxy"));
    QCOMPARE(unitOf("live/LiveProxy.h"), QString("live/LiveProxy"));
}

void TestLayers::fixtureTree_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("upward");
    QTest::addColumn<QStringList>("cycles");

    QTest::newRow("upward include")
        << QStringList{"foundation/Log.cpp|Log.h|Panel.h", "foundation/Log.h", "live/Panel.h"}
        << QStringList{"foundation/Log.cpp -> live/Panel.h"} << QStringList{};
    QTest::newRow("upward include by relative path")
        << QStringList{"platform/common/World.cpp|../../mainwindow/Main.h", "mainwindow/Main.h"}
        << QStringList{"platform/common/World.cpp -> mainwindow/Main.h"} << QStringList{};
    QTest::newRow("same floor: web and widgets")
        << QStringList{"web/Page.cpp|MvButton.h", "ui/widgets/MvButton.h", "ui/widgets/Shadow.cpp|Page.h",
                       "web/Page.h"}
        << QStringList{"ui/widgets/Shadow.cpp -> web/Page.h", "web/Page.cpp -> ui/widgets/MvButton.h"}
        << QStringList{};
    QTest::newRow("same floor: login and room")
        << QStringList{"login/Login.cpp|RoomTool.h", "room/RoomTool.h"}
        << QStringList{"login/Login.cpp -> room/RoomTool.h"} << QStringList{};
    QTest::newRow("downward includes")
        << QStringList{"app/main.cpp|Main.h", "mainwindow/Main.h|Room.h|Proxy.h", "room/Room.h|Proxy.h",
                       "live/Proxy.h|Page.h|MvButton.h|Engine.h|Log.h", "web/Page.h", "ui/widgets/MvButton.h",
                       "platform/castcore/Engine.h|Log.h", "foundation/Log.h"}
        << QStringList{} << QStringList{};
    QTest::newRow("subfolders belong to their folder")
        << QStringList{"web/view/ViewDlg.cpp|ViewDlg.h|WebClock.h", "web/view/ViewDlg.h", "web/WebClock.h",
                       "web/Requester.cpp|ViewDlg.h",
                       "platform/castcore/output/Push.cpp|Push.h|Control.h", "platform/castcore/output/Push.h",
                       "platform/authport/Control.h|World.h", "platform/common/World.h"}
        << QStringList{} << QStringList{};
    QTest::newRow("floors inside a folder")
        << QStringList{"platform/castcore/scene/Item.h|LiveEngine.h|Engine.h", "platform/castcore/api/LiveEngine.h",
                       "platform/castcore/Engine.h|Encoder.h", "platform/castcore/mvencode/Encoder.h",
                       "platform/castcore/mvencode/Ffmpeg.cpp|Encoder.h|Engine.h|LiveEngine.h",
                       "platform/common/Face.h|Item.h"}
        << QStringList{"platform/castcore/Engine.h -> platform/castcore/mvencode/Encoder.h",
                       "platform/castcore/scene/Item.h -> platform/castcore/Engine.h",
                       "platform/common/Face.h -> platform/castcore/scene/Item.h"}
        << QStringList{};
    QTest::newRow("two units in a circle")
        << QStringList{"platform/authport/AuthControl.h", "platform/authport/AuthControl.cpp|AuthControl.h|AuthService.h",
                       "platform/authport/AuthService.h", "platform/authport/AuthService.cpp|AuthService.h|AuthControl.h"}
        << QStringList{} << QStringList{"platform/authport/AuthControl platform/authport/AuthService"};
    QTest::newRow("circle through a header")
        << QStringList{"platform/castcore/output/Pipeline.h", "platform/castcore/output/Pipeline.cpp|Pipeline.h|Push.h",
                       "platform/castcore/output/Push.h|Pipeline.h"}
        << QStringList{} << QStringList{"platform/castcore/output/Pipeline platform/castcore/output/Push"};
    QTest::newRow("three units in a circle, one apart")
        << QStringList{"live/A.h|B.h", "live/B.h", "live/B.cpp|B.h|C.h", "live/C.h", "live/C.cpp|C.h|A.h",
                       "live/D.cpp|A.h", "live/E.h|F.h", "live/F.h", "live/F.cpp|F.h|E.h"}
        << QStringList{} << QStringList{"live/A live/B live/C", "live/E live/F"};
    QTest::newRow("circle across directories")
        << QStringList{"platform/castcore/sources/Catalog.cpp|Catalog.h|World.h", "platform/castcore/sources/Catalog.h",
                       "platform/castcore/World.cpp|World.h|sources/Catalog.h", "platform/castcore/World.h"}
        << QStringList{} << QStringList{"platform/castcore/World platform/castcore/sources/Catalog"};
    QTest::newRow("header and source of one unit")
        << QStringList{"foundation/Pool.h|Pool.cpp", "foundation/Pool.cpp|Pool.h"} << QStringList{}
        << QStringList{};
    // Each Compositor.h means the one beside the includer: resolved the other
    // way round, win/Helper and compose/Compositor would form a circle.
    QTest::newRow("same base name: own directory first")
        << QStringList{"platform/win/Compositor.h", "platform/win/Helper.h|Compositor.h",
                       "platform/castcore/compose/Compositor.h",
                       "platform/castcore/compose/Compositor.cpp|Compositor.h|Helper.h"}
        << QStringList{} << QStringList{};
    QTest::newRow("same base name: own folder before others")
        << QStringList{"live/Clock.h", "web/Clock.h", "web/view/Dlg.cpp|Clock.h"} << QStringList{}
        << QStringList{};
    QTest::newRow("system, generated and outside headers ignored")
        << QStringList{"foundation/Log.cpp|<QWidget>|<mainwindow/Main.h>|ui_Main.h|moc_Log.cpp|Log.moc|Fixture.h",
                       "mainwindow/Main.h", "mainwindow/ui_Main.h|Log.h", "tests/support/Fixture.h|Log.h",
                       "bench/Bench.h|Main.h", "build-x/live/Up.h"}
        << QStringList{} << QStringList{};
}

void TestLayers::fixtureTree()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, upward);
    QFETCH(QStringList, cycles);
    testsupport::TempEnvironment env;
    QVERIFY(env.isValid());
    const QString root = env.root() + QStringLiteral("/tree");
    QVERIFY(writeTree(root, files));

    const SourceTree tree = SourceTree::read(root);
    QStringList gotUpward = upwardPairs(tree);
    gotUpward.sort();
    QCOMPARE(gotUpward, upward);
    QCOMPARE(cycleMembers(tree), cycles);
}

void TestLayers::reportsNameTheOffenders()
{
    testsupport::TempEnvironment env;
    QVERIFY(env.isValid());
    const QString root = env.root() + QStringLiteral("/tree");
    QVERIFY(writeTree(root, {"web/Page.cpp|Panel.h", "live/Panel.h", "live/A.h", "live/A.cpp|A.h|B.h",
                             "live/B.h", "live/B.cpp|B.h|A.h"}));
    const SourceTree tree = SourceTree::read(root);

    const QVector<UpwardInclude> up = upwardIncludes(tree);
    QCOMPARE(up.size(), 1);
    QCOMPARE(up.first().text(), QString("web/Page.cpp includes live/Panel.h: live (floor 8) is not below web (floor 7)"));
    const QVector<UnitCycle> cycles = unitCycles(tree);
    QCOMPARE(cycles.size(), 1);
    QCOMPARE(cycles.first().text(), QString("2 units depend on each other: live/A, live/B\n"
                                            "    live/A.cpp includes live/B.h\n"
                                            "    live/B.cpp includes live/A.h"));
}

void TestLayers::sourceTreeIsRead()
{
    // Guards the two checks below against passing on an empty or wrong tree.
    const SourceTree &tree = source();
    QVERIFY2(tree.files().size() > 200, qPrintable(QString::number(tree.files().size())));
    QVERIFY(tree.includes().size() > 300);
    for (const Floor &f : floorTable()) {
        if (!QDir(QStringLiteral(MORVA_SOURCE_DIR "/") + f.folder).exists())
            continue;
        const bool any = std::any_of(tree.files().begin(), tree.files().end(),
                                     [&](const SourceFile &s) { return s.folder == f.folder; });
        QVERIFY2(any, qPrintable(f.folder));
    }
    const SourceFile *engine = tree.file("platform/castcore/MediaEngine.h");
    const SourceFile *winCompositor = tree.file("platform/win/Compositor.cpp");
    QVERIFY(engine && winCompositor);
    QCOMPARE(tree.resolve(*engine, "compose/Compositor.h"), QString("platform/castcore/compose/Compositor.h"));
    QCOMPARE(tree.resolve(*winCompositor, "Compositor.h"), QString("platform/win/Compositor.h"));
    QCOMPARE(tree.resolve(*engine, "QObject"), QString());
}

void TestLayers::noIncludeReachesUp()
{
    QStringList lines;
    for (const UpwardInclude &u : upwardIncludes(source()))
        lines.append(u.text());
    QVERIFY2(lines.isEmpty(), qPrintable(report(lines)));
}

void TestLayers::noUnitsDependOnEachOther()
{
    QStringList lines;
    for (const UnitCycle &c : unitCycles(source()))
        lines.append(c.text());
    QVERIFY2(lines.isEmpty(), qPrintable(report(lines)));
}

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
