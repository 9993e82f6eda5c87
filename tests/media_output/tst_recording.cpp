// The recording: a fragmented MP4 of the composed scene and the mixed sound
// that plays back, survives a SIGKILL, and fails cleanly on bad places.

#include "DebugCapture.h"
#include "EncodeEventLog.h"
#include "EncodePipeline.h"
#include "MediaInspector.h"
#include "SyntheticFeed.h"
#include "TempEnvironment.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

using namespace castcore;
using namespace mediatest;
using namespace testsupport;

int runRecorderChild(const QString &path)
{
    EncodePipeline pipeline{EncodeEvents{}};
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    if (!pipeline.startRecording(path.toStdString()))
        return 2;
    SyntheticFeed feed(&pipeline, &pipeline);
    feed.start();
    // Runs until the test kills it (a minute at most).
    for (int i = 0; i < 600; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::printf("fed %d\n", feed.framesFed());
        std::fflush(stdout);
    }
    return 0;
}

class TestRecording : public QObject
{
    Q_OBJECT
private slots:
    void recordsSceneAndSound_data();
    void recordsSceneAndSound();
    void survivesSigkill();
    void refusesPlaceThatCannotBeWritten_data();
    void refusesPlaceThatCannotBeWritten();
    void writeErrorEndsRecording();
};

void TestRecording::recordsSceneAndSound_data()
{
    QTest::addColumn<bool>("withSound");
    QTest::newRow("1 kHz tone") << true;
    QTest::newRow("no sound device") << false;
}

void TestRecording::recordsSceneAndSound()
{
    QFETCH(bool, withSound);
    testsupport::TempEnvironment env;
    const QString file = env.root() + "/scene.mp4";
    EncodeEventLog log;
    EncodePipeline pipeline(log.events());
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(!pipeline.active());

    QVERIFY(pipeline.startRecording(file.toStdString()));
    QVERIFY(pipeline.recording());
    QVERIFY(pipeline.active());
    SyntheticFeed feed(&pipeline, withSound ? &pipeline : nullptr);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= 4 * kFps, 30000);
    feed.stop();
    pipeline.stopRecording();
    QVERIFY(!pipeline.recording());
    QVERIFY(!pipeline.active());

    const MediaSummary media = inspectMedia(file, 2 * kFps);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QCOMPARE(media.audioCodec, QStringLiteral("aac"));
    QCOMPARE(media.width, kWidth);
    QCOMPARE(media.height, kHeight);
    QVERIFY2(media.videoFrames >= 90 && media.videoFrames <= 110, qPrintable(QString::number(media.videoFrames)));
    QVERIFY2(qAbs(media.firstAudioS - media.firstVideoS) <= 0.1,
             qPrintable(QStringLiteral("audio %1 video %2").arg(media.firstAudioS).arg(media.firstVideoS)));
    QString why;
    QVERIFY2(showsScene(media.picture, &why), qPrintable(why));
    QCOMPARE(media.soundRate, 48000);
    // The sound track covers the pictures, tone or silence.
    QVERIFY2(media.sound.size() >= size_t(3.0 * 48000), qPrintable(QString::number(media.sound.size())));
    if (withSound) {
        const double hz = toneFrequency(media.sound, media.soundRate, 0.5, 3.0);
        QVERIFY2(hz > 980 && hz < 1020, qPrintable(QString::number(hz)));
    } else {
        float peak = 0;
        for (float s : media.sound)
            peak = std::max(peak, std::abs(s));
        QVERIFY2(peak < 0.01f, qPrintable(QString::number(peak)));
    }
}

void TestRecording::survivesSigkill()
{
    testsupport::TempEnvironment env;
    const QString file = env.root() + "/killed.mp4";
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--recorder-child", file});
    QVERIFY(child.waitForStarted(10000));
    // Killed once 2.4 s of frames went in.
    int fed = 0;
    QElapsedTimer timer;
    timer.start();
    while (fed < 60 && timer.elapsed() < 60000 && child.state() == QProcess::Running) {
        child.waitForReadyRead(200);
        while (child.canReadLine()) {
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("fed "))
                fed = line.mid(4).toInt();
        }
    }
    QVERIFY2(fed >= 60, qPrintable(QStringLiteral("fed %1, exit %2").arg(fed).arg(child.exitCode())));
    ::kill(pid_t(child.processId()), SIGKILL);
    QVERIFY(child.waitForFinished(10000));
    QCOMPARE(child.exitStatus(), QProcess::CrashExit);

    const MediaSummary media = inspectMedia(file, 0);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QVERIFY2(media.videoFrames >= kFps, qPrintable(QString::number(media.videoFrames)));
    QString why;
    QVERIFY2(showsScene(media.picture, &why), qPrintable(why));
}

void TestRecording::refusesPlaceThatCannotBeWritten_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing folder") << QStringLiteral("@/missing/rec.mp4");
    QTest::newRow("folder is a file") << QStringLiteral("@/plain/rec.mp4");
    QTest::newRow("proc") << QStringLiteral("/proc/rec.mp4");
    QTest::newRow("empty") << QString();
}

void TestRecording::refusesPlaceThatCannotBeWritten()
{
    QFETCH(QString, path);
    testsupport::TempEnvironment env;
    QFile plain(env.root() + "/plain");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    path.replace('@', env.root());
    testsupport::DebugCapture capture;
    EncodePipeline pipeline{EncodeEvents{}};
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(!pipeline.startRecording(path.toStdString()));
    QVERIFY(!pipeline.recording());
    QVERIFY(!pipeline.active());
    QVERIFY2(capture.contains(QStringLiteral("engine: cannot record to \"%1\"").arg(path)),
             qPrintable(capture.messages().join('\n')));
}

void TestRecording::writeErrorEndsRecording()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    testsupport::DebugCapture capture;
    EncodePipeline pipeline{EncodeEvents{}};
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(pipeline.startRecording("/dev/full"));
    SyntheticFeed feed(&pipeline, &pipeline);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(!pipeline.recording(), 15000);
    QVERIFY(!pipeline.active());
    feed.stop();
    QVERIFY2(capture.contains(QStringLiteral("engine: recording /dev/full stopped")),
             qPrintable(capture.messages().join('\n')));
    pipeline.stopRecording();
}

std::unique_ptr<QObject> makeRecordingTest()
{
    return std::make_unique<TestRecording>();
}

#include "tst_recording.moc"
