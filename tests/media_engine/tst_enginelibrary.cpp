// The encoding library behind the scene: the scene starts without it, the
// first recording loads it and records as before; when it is missing,
// recording and going live fail cleanly with one log line.

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "EncodeLibrary.h"
#include "EngineMedia.h"
#include "MediaInspector.h"

#include <QtTest>

#include <memory>

using namespace enginetest;

class EngineLibraryTest : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void firstRecordingLoadsTheLibrary();
    void missingLibraryFailsCleanly();
};

void EngineLibraryTest::cleanup()
{
    castcore::EncodeLibrary::setPath(std::string());
}

void EngineLibraryTest::firstRecordingLoadsTheLibrary()
{
    // A fresh load from the built library, whatever ran before.
    castcore::EncodeLibrary::setPath(MVENCODE_PATH);
    testsupport::DebugCapture capture;
    EngineFixture f;
    QCOMPARE(initScene(f), 0);
    QVERIFY(addPicture(f) > 0);
    QTRY_VERIFY_WITH_TIMEOUT(!f.ours()->media().lastCanvas().isNull(), kWaitMs);
    const QString loaded = QStringLiteral("engine: encoding library loaded from " MVENCODE_PATH);
    QVERIFY(!capture.contains(QStringLiteral("engine: encoding library")));

    const QString file = f.env.workPath() + QStringLiteral("/loaded.mp4");
    QVERIFY(f.engine->GetRecorder()->Start(file.toUtf8().constData()));
    QVERIFY2(capture.contains(loaded), qPrintable(capture.messages().join(QLatin1Char('\n'))));
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(file) > 0, kWaitMs);
    const qint64 first = fileSize(file);
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(file) > first, kWaitMs);
    f.engine->GetRecorder()->Stop();

    const testsupport::MediaSummary m = testsupport::inspectMedia(file, kFps);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QVERIFY2(m.videoFrames >= kFps, qPrintable(QString::number(m.videoFrames)));
    QCOMPARE(m.picture.size(), QSize(kWidth, kHeight));
}

void EngineLibraryTest::missingLibraryFailsCleanly()
{
    testsupport::DebugCapture capture;
    EngineFixture f;
    const QString missing = f.env.workPath() + QStringLiteral("/libmvencode.so");
    castcore::EncodeLibrary::setPath(missing.toStdString());
    QCOMPARE(initScene(f), 0);

    const QString file = f.env.workPath() + QStringLiteral("/never.mp4");
    QVERIFY(!f.engine->GetRecorder()->Start(file.toUtf8().constData()));
    QVERIFY(!f.ours()->media().recording());
    QVERIFY(!QFileInfo::exists(file));
    // Going live fails as a connection that cannot be made does.
    const std::string url = "rtmp://" + testsupport::closedLoopbackHost().toStdString() + "/live/s";
    f.scene()->SetPushUrl(url.c_str(), 1, 0);
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url, false), 1, kWaitMs);
    f.scene()->SetLive(true);
    QVERIFY(!f.engine->GetRecorder()->Start(file.toUtf8().constData()));
    f.scene()->SetLive(false);

    // One line for the path, however often it was needed.
    const QString line = QStringLiteral("engine: encoding library not available: ") + missing
                         + QStringLiteral(": cannot open shared object file: No such file or directory");
    QCOMPARE(capture.messages().filter(QStringLiteral("engine: encoding library")), QStringList{line});
}

std::unique_ptr<QObject> makeEngineLibraryTest()
{
    return std::make_unique<EngineLibraryTest>();
}

#include "tst_enginelibrary.moc"
