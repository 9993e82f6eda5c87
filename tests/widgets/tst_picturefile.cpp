// Pictures the user names, read on the GUI thread: only a regular file is
// opened, so a FIFO, a folder or a device is refused at once and never holds
// the thread; a picture still reads, and a page's refusal is logged with the
// text it shows.

#include "MvDraggedButton.h"
#include "PictureFile.h"

#include "LogCapture.h"
#include "NamedPipe.h"
#include "TempEnvironment.h"
#include "WidgetPictures.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPixmapCache>
#include <QSignalSpy>
#include <QUrl>
#include <QtTest>

#include <functional>
#include <memory>

using testsupport::LogCapture;

namespace {

// Whole seconds for what should take none: a hang is what is caught.
constexpr int kAtOnceMs = 10000;

const QString kUnreadable = QStringLiteral("图片读取失败!");
const QString kTooLarge = QStringLiteral("图片尺寸不能超过1920*1080！");

class ProbeDropButton : public MvDraggedButton
{
public:
    using MvDraggedButton::dropEvent;
};

bool near(QRgb pixel, const QColor &expected, int tolerance = 8)
{
    return qAbs(qRed(pixel) - expected.red()) <= tolerance && qAbs(qGreen(pixel) - expected.green()) <= tolerance
        && qAbs(qBlue(pixel) - expected.blue()) <= tolerance && qAlpha(pixel) > 240;
}

QStringList refusedLines()
{
    return LogCapture::texts().filter(QStringLiteral("picture refused: "));
}

} // namespace

class TestPictureFile : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<testsupport::TempEnvironment> m_env;

    QString workFile(const QString &name) const { return m_env->workPath() + QLatin1Char('/') + name; }

private slots:
    void init()
    {
        m_env = std::make_unique<testsupport::TempEnvironment>();
        QVERIFY(QDir().mkpath(m_env->workPath()));
        QPixmapCache::clear();
    }
    void cleanup() { m_env.reset(); }

    void oddPathIsRefusedAtOnce_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("call");
        for (const QString &kind : testsupport::NamedPipe::oddKinds()) {
            for (const char *call : {"headerSize", "read", "pixmapAt", "fittedPixmap", "refusal", "drop"})
                QTest::addRow("%s, %s", call, qPrintable(kind)) << kind << QString::fromLatin1(call);
        }
    }
    void oddPathIsRefusedAtOnce()
    {
        QFETCH(QString, kind);
        QFETCH(QString, call);
        testsupport::NamedPipe pipe(workFile(QStringLiteral("pipe.png")));
        QVERIFY2(pipe.isValid(), qPrintable(pipe.errorString()));
        const QString odd = pipe.oddPath(kind, workFile(QStringLiteral("odd.png")));
        QVERIFY(!odd.isEmpty());

        ProbeDropButton button;
        QSignalSpy dropped(&button, &MvDraggedButton::signal_draggedpicture);
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(odd)});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QString told;
        const std::function<bool()> refuses = [&] {
            if (call == QLatin1String("headerSize"))
                return !picturefile::headerSize(odd).isValid();
            if (call == QLatin1String("read"))
                return picturefile::read(odd, QSize(20, 20)).isNull();
            if (call == QLatin1String("pixmapAt"))
                return picturefile::pixmapAt(odd).isNull();
            if (call == QLatin1String("fittedPixmap"))
                return picturefile::fittedPixmap(odd, QSize(50, 50)).isNull();
            if (call == QLatin1String("refusal")) {
                told = picturefile::refusal(odd);
                return !told.isEmpty();
            }
            button.dropEvent(&drop);
            return dropped.isEmpty();
        };
        bool refused = false;
        QVERIFY2(pipe.finishesWithin(kAtOnceMs, [&] { refused = refuses(); }), "held up by the path");
        QVERIFY(refused);
        if (call == QLatin1String("refusal")) {
            QCOMPARE(told, kUnreadable);
            const QString line = QStringLiteral("picture refused: %1 (not a regular file: 图片读取失败!)").arg(odd);
            QCOMPARE(refusedLines(), QStringList{line});
        }
    }

    // A picture in each format the pages take, and a link to one, read as
    // before.
    void pictureStillReads_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("png") << "png";
        QTest::newRow("jpeg named .jpg") << "jpg";
        QTest::newRow("gif") << "gif";
        QTest::newRow("link to a png") << "link";
    }
    void pictureStillReads()
    {
        QFETCH(QString, kind);
        const QString suffix = kind == QLatin1String("link") ? QStringLiteral("png") : kind;
        QString path = workFile(QStringLiteral("pic.") + suffix);
        testsupport::writeSolidPicture(path, QSize(40, 30), Qt::red);
        QVERIFY(QFile::exists(path));
        if (kind == QLatin1String("link")) {
            const QString link = workFile(QStringLiteral("link.png"));
            QVERIFY(QFile::link(path, link));
            path = link;
        }
        QCOMPARE(picturefile::headerSize(path), QSize(40, 30));
        const QImage whole = picturefile::read(path);
        QCOMPARE(whole.size(), QSize(40, 30));
        QVERIFY(near(whole.pixel(20, 15), Qt::red));
        const QImage half = picturefile::read(path, QSize(20, 15));
        QCOMPARE(half.size(), QSize(20, 15));
        QVERIFY(near(half.pixel(10, 7), Qt::red));
        QCOMPARE(picturefile::pixmapAt(path, QSize(8, 6)).size(), QSize(8, 6));
        QCOMPARE(picturefile::fittedPixmap(path, QSize(20, 20)).size(), QSize(20, 15));
        QSize size;
        QCOMPARE(picturefile::refusal(path, &size), QString());
        QCOMPARE(size, QSize(40, 30));
        QCOMPARE(refusedLines(), QStringList());
    }

    // The item list shows built-in pictures for some items.
    void builtInPictureReads()
    {
        const QString path = QStringLiteral(":/image/skin/picloadback.png");
        QCOMPARE(picturefile::headerSize(path), QSize(104, 60));
        QCOMPARE(picturefile::read(path).size(), QSize(104, 60));
        QCOMPARE(picturefile::pixmapAt(path, QSize(52, 30)).size(), QSize(52, 30));
    }

    // What a page tells the user, and the line the log keeps of it.
    void refusalIsToldAndLogged_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("told");
        QTest::addColumn<QString>("reason"); // in the line; empty for no line
        QTest::newRow("at the limit") << "1920x1080" << QString() << QString();
        QTest::newRow("one pixel too wide") << "1921x4" << kTooLarge << "1921x4";
        QTest::newRow("one pixel too high") << "4x1081" << kTooLarge << "4x1081";
        QTest::newRow("header claims 20000x20000") << "huge" << kTooLarge << "20000x20000";
        QTest::newRow("no picture") << "text" << kUnreadable << "not a picture";
        QTest::newRow("missing") << "missing" << kUnreadable << "No such file or directory";
    }
    void refusalIsToldAndLogged()
    {
        QFETCH(QString, kind);
        QFETCH(QString, told);
        QFETCH(QString, reason);
        const QString path = workFile(QStringLiteral("chosen.png"));
        if (kind == QLatin1String("huge")) {
            QVERIFY(!testsupport::writeHugeClaimPng(path, QSize(20000, 20000)).isEmpty());
        } else if (kind == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("no picture");
        } else if (kind != QLatin1String("missing")) {
            const QStringList sides = kind.split(QLatin1Char('x'));
            testsupport::writeSolidPicture(path, QSize(sides[0].toInt(), sides[1].toInt()), Qt::red);
        }
        QCOMPARE(picturefile::refusal(path), told);
        const QStringList lines = refusedLines();
        if (reason.isEmpty())
            QCOMPARE(lines, QStringList());
        else
            QCOMPARE(lines, QStringList{QStringLiteral("picture refused: %1 (%2: %3)").arg(path, reason, told)});
    }
};

QTEST_MAIN(TestPictureFile)
#include "tst_picturefile.moc"
