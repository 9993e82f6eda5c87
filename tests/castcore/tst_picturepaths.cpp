// Picture paths that name no regular file (a FIFO, a folder, a device):
// refused at once with the engine's line, never waited on, neither by the
// item calls nor by the loader the engine joins at its end.

#include "EngineFixture.h"

#include "DebugCapture.h"
#include "NamedPipe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

#include <optional>

using namespace castcore;

namespace {

// Whole seconds for what should take none: a hang is what is caught.
constexpr int kAtOnceMs = 10000;
constexpr int kWaitMs = 20000;

bool near(QRgb a, QColor b, int tolerance = 6)
{
    return std::abs(qRed(a) - b.red()) <= tolerance && std::abs(qGreen(a) - b.green()) <= tolerance
        && std::abs(qBlue(a) - b.blue()) <= tolerance;
}

QStringList unreadableLines(const testsupport::DebugCapture &log)
{
    return log.messages().filter(QStringLiteral("engine: picture unreadable: "));
}

} // namespace

class PicturePathsTest : public QObject
{
    Q_OBJECT

private slots:
    void oddPathIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("replacing"); // SetItemSourceFiles on a picture item, else CreateItem
        for (const QString &kind : testsupport::NamedPipe::oddKinds()) {
            QTest::addRow("CreateItem, %s", qPrintable(kind)) << kind << false;
            QTest::addRow("SetItemSourceFiles, %s", qPrintable(kind)) << kind << true;
        }
    }
    void oddPathIsRefusedAtOnce()
    {
        QFETCH(QString, kind);
        QFETCH(bool, replacing);
        EngineFixture f;
        const QString work = f.env.workPath();
        testsupport::NamedPipe pipe(work + QStringLiteral("/pipe.png"));
        QVERIFY2(pipe.isValid(), qPrintable(pipe.errorString()));
        const QString odd = pipe.oddPath(kind, work + QStringLiteral("/odd.png"), QStringLiteral("/dev/null"));
        QVERIFY(!odd.isEmpty());
        const std::string oddPath = odd.toStdString();

        const std::string pic = f.picture(QStringLiteral("pic.png"), 30, 20);
        const int id = replacing ? f.scene()->CreateItem(pic.c_str(), 0, 0, 100, 100) : 0;
        testsupport::DebugCapture log;
        int created = 1;
        bool replaced = true;
        QVERIFY(pipe.finishesWithin(kAtOnceMs, [&] {
            if (replacing) {
                const char *files[] = {oddPath.c_str()};
                replaced = f.scene()->SetItemSourceFiles(id, files, 1);
            } else {
                created = f.scene()->CreateItem(oddPath.c_str(), 0, 0, 100, 100);
            }
        }));
        if (replacing) {
            QVERIFY(!replaced);
            // The item keeps its picture.
            int count = 0;
            const char *const *list = f.scene()->GetItemSourceFiles(id, &count);
            QCOMPARE(count, 1);
            QCOMPARE(std::string(list[0]), pic);
            f.scene()->FreeBuffer(list);
            int x, y, w, h;
            QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
            QCOMPARE(QSize(w, h), QSize(30, 20));
        } else {
            QVERIFY2(created <= 0, qPrintable(QString::number(created)));
        }
        QCOMPARE(unreadableLines(log),
                 QStringList{QStringLiteral("engine: picture unreadable: %1 (not a regular file)").arg(odd)});
    }

    // A link to a picture is a picture.
    void linkToAPictureOpens()
    {
        EngineFixture f;
        const QString pic = QString::fromStdString(f.picture(QStringLiteral("pic.png"), 30, 20));
        const QString link = f.env.workPath() + QStringLiteral("/link.png");
        QVERIFY(QFile::link(pic, link));
        const int id = f.scene()->CreateItem(link.toUtf8().constData(), 0, 0, 100, 100);
        QVERIFY(id > 0);
        int x, y, w, h;
        QVERIFY(f.scene()->GetItemSourceRect(id, &x, &y, &w, &h));
        QCOMPARE(QSize(w, h), QSize(30, 20));
    }

    // The item's file becomes a FIFO after it was shown: the loader reading
    // it again for a new size refuses it, and the engine still ends.
    void pictureSwappedForAFifoLetsTheEngineEnd()
    {
        EngineFixture f;
        QCOMPARE(f.init(320, 240), 0);
        QImage img(100, 100, QImage::Format_RGB32);
        img.fill(Qt::red);
        const QString path = f.env.workPath() + QStringLiteral("/swapped.png");
        QVERIFY(img.save(path, "PNG"));
        const int id = f.scene()->CreateItem(path.toUtf8().constData(), 0, 0, 100, 100);
        QVERIFY(id > 0);
        QVERIFY(f.scene()->SetItemRect(id, 0, 0, 100, 100));
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < kWaitMs) {
            const QImage canvas = f.ours()->lastCanvas();
            if (!canvas.isNull() && near(canvas.pixel(50, 50), Qt::red))
                break;
            QTest::qWait(20);
        }
        QVERIFY(near(f.ours()->lastCanvas().pixel(50, 50), Qt::red));

        testsupport::DebugCapture log;
        // Made after the engine, gone before it: a loader the code under
        // test left waiting in open() is let go first.
        std::optional<testsupport::NamedPipe> pipe;
        pipe.emplace(path);
        QVERIFY2(pipe->isValid(), qPrintable(pipe->errorString()));
        QVERIFY(f.scene()->SetItemRect(id, 0, 0, 160, 120));
        const QString refused = QStringLiteral("engine: picture unreadable: %1 (not a regular file)").arg(path);
        QTRY_VERIFY_WITH_TIMEOUT(unreadableLines(log).contains(refused), kWaitMs);
        QVERIFY(pipe->finishesWithin(kAtOnceMs, [&] { f.engine.reset(); }));
        QCOMPARE(unreadableLines(log), QStringList{refused});
    }
};

std::unique_ptr<QObject> makePicturePathsTest()
{
    return std::make_unique<PicturePathsTest>();
}

#include "tst_picturepaths.moc"
