// Sessions of one run: in every recording, and in a broadcast, sound and
// picture meet at a mark (a white picture and a tone begun at one instant)
// and end together, whether the recording ends the session or the broadcast
// goes on; a feed that misses canvases keeps to the clock; new video
// settings wait for the end of what runs.

#include "DebugCapture.h"
#include "EncodeEventLog.h"
#include "EncodeLibraryClient.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "SyntheticFeed.h"
#include "TempEnvironment.h"
#include "ThreadNames.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace castcore;
using namespace mediatest;
using namespace testsupport;

namespace {

// What a sound server adds: the sound of an instant arrives this much later
// than the picture of that instant.
constexpr int64_t kServerLatencyUs = 150000;

struct Sync
{
    double markS = 0; // tone onset minus the white picture's time
    double endS = 0;  // the sound's end minus the picture's end
};

bool measure(const QString &file, Sync *sync, QString *why)
{
    const MediaSummary media = inspectMedia(file, 0);
    if (!media.opened || media.videoFrames == 0 || media.sound.empty()) {
        *why = QStringLiteral("%1: %2 pictures, %3 samples").arg(file).arg(media.videoFrames).arg(media.sound.size());
        return false;
    }
    const double flash = firstBrightPictureS(media, 0, 160);
    const double tone = soundOnsetS(media, 0, 0.1f);
    if (flash < 0 || tone < 0) {
        *why = QStringLiteral("%1: white picture at %2 s, tone at %3 s").arg(file).arg(flash).arg(tone);
        return false;
    }
    sync->markS = tone - flash;
    sync->endS = media.lastAudioEndS - media.lastVideoEndS;
    return true;
}

// True once the feed's clock reached `us` (within 30 s).
bool feedReaches(const SyntheticFeed &feed, int64_t us)
{
    QElapsedTimer timer;
    timer.start();
    while (feed.clockUs() < us && timer.elapsed() < 30000)
        QTest::qWait(10);
    return feed.clockUs() >= us;
}

// Marks the feed a while after now and lets it run well past the mark.
bool markAndRun(SyntheticFeed &feed)
{
    const int64_t mark = feed.markFrom(mediaNowUs() + 700000);
    return feedReaches(feed, mark + 1300000);
}

bool idleFor(SyntheticFeed &feed, int64_t us)
{
    return feedReaches(feed, feed.clockUs() + us);
}

QString describe(const QString &file, const Sync &sync)
{
    return QStringLiteral("%1: tone %2 ms from the white picture, sound ends %3 ms from the picture")
        .arg(QFileInfo(file).fileName())
        .arg(sync.markS * 1000, 0, 'f', 1)
        .arg(sync.endS * 1000, 0, 'f', 1);
}

// Within 20 ms at the mark and 40 ms at the end in each file; every file's
// figures are logged first.
bool allTogether(const QStringList &files, const QString &context)
{
    QStringList faults;
    for (int i = 0; i < files.size(); ++i) {
        Sync sync;
        QString why;
        if (!measure(files[i], &sync, &why)) {
            faults << why;
            continue;
        }
        const QString figures = context + describe(files[i], sync);
        qInfo("%s", qPrintable(figures));
        if (std::fabs(sync.markS) > 0.020 || std::fabs(sync.endS) > 0.040)
            faults << figures;
    }
    if (!faults.isEmpty())
        qWarning("%s", qPrintable(faults.join('\n')));
    return faults.isEmpty();
}

} // namespace

class TestSessions : public QObject
{
    Q_OBJECT
private slots:
    void soundAndPictureTogetherInEveryRecording();
    void recordingsWhileLiveEndTogether();
    void broadcastEndsTogether_data();
    void broadcastEndsTogether();
    void missedCanvasesKeepTheClock();
    void newSettingsWaitForTheEnd();
};

void TestSessions::soundAndPictureTogetherInEveryRecording()
{
    TempEnvironment env;
    DebugCapture capture;
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    SyntheticFeed feed(&encoder, &encoder);
    feed.quietUntilMarked(true);
    feed.soundLatency(kServerLatencyUs);
    feed.start();
    QStringList files;
    for (int session = 1; session <= 3; ++session) {
        const QString file = env.root() + QStringLiteral("/session-%1.mp4").arg(session);
        QVERIFY(encoder.startRecording(file.toStdString()));
        QVERIFY(markAndRun(feed));
        encoder.stopRecording();
        QVERIFY(waitFinished(capture, file));
        files << file;
        QVERIFY(idleFor(feed, 300000)); // between two recordings
    }
    feed.stop();
    QVERIFY(log.recordingEnds().empty());
    QVERIFY(allTogether(files, QString()));
}

void TestSessions::recordingsWhileLiveEndTogether()
{
    // The broadcast's session goes on: each recording is cut out of it.
    TempEnvironment env;
    DebugCapture capture;
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    SyntheticFeed feed(&encoder, &encoder);
    feed.quietUntilMarked(true);
    feed.soundLatency(kServerLatencyUs);
    feed.start();
    encoder.setLive(true);
    QStringList files;
    for (int i = 1; i <= 2; ++i) {
        QVERIFY(idleFor(feed, 300000));
        const QString file = env.root() + QStringLiteral("/live-%1.mp4").arg(i);
        QVERIFY(encoder.startRecording(file.toStdString()));
        QVERIFY(markAndRun(feed));
        encoder.stopRecording();
        QVERIFY(!encoder.recording());
        QVERIFY(encoder.active());
        QVERIFY(waitFinished(capture, file));
        files << file;
    }
    encoder.setLive(false);
    feed.stop();
    QVERIFY(allTogether(files, QStringLiteral("while live, ")));
}

void TestSessions::broadcastEndsTogether_data()
{
    QTest::addColumn<bool>("recordingGoesOn");
    QTest::newRow("alone") << false;
    QTest::newRow("while a recording goes on") << true;
}

void TestSessions::broadcastEndsTogether()
{
    QFETCH(bool, recordingGoesOn);
    TempEnvironment env;
    const QString received = env.root() + QStringLiteral("/received.flv");
    RtmpReceiver receiver(received);
    QVERIFY(receiver.start());
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(connectWhenListening(encoder, log, receiver.url()));
    SyntheticFeed feed(&encoder, &encoder);
    feed.quietUntilMarked(true);
    feed.soundLatency(kServerLatencyUs);
    feed.start();
    encoder.setLive(true);
    const QString recorded = env.root() + QStringLiteral("/goes-on.mp4");
    if (recordingGoesOn)
        QVERIFY(encoder.startRecording(recorded.toStdString()));
    QVERIFY(markAndRun(feed));
    if (recordingGoesOn) {
        // Per-thread figures (top -H, perf) tell the encoders and the outputs apart.
        const QStringList names = threadNames();
        for (const char *name : {"mvencode-encode", "mvencode-push", "mvencode-record"})
            QVERIFY2(names.contains(QLatin1String(name)), qPrintable(names.join(QLatin1Char(' '))));
    }
    encoder.setLive(false);
    QCOMPARE(encoder.active(), recordingGoesOn);
    // The stream ends while the session goes on for the recording.
    QVERIFY(receiver.waitForEnd(20000));
    if (recordingGoesOn) {
        QVERIFY(idleFor(feed, 1000000));
        encoder.stopRecording();
    }
    feed.stop();
    QVERIFY(allTogether({received}, QString()));
}

void TestSessions::missedCanvasesKeepTheClock()
{
    TempEnvironment env;
    DebugCapture capture;
    const QString file = env.root() + QStringLiteral("/half.mp4");
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    SyntheticFeed feed(&encoder, &encoder);
    feed.feedEvery(2);
    feed.start();
    QVERIFY(encoder.startRecording(file.toStdString()));
    QVERIFY(idleFor(feed, 3000000));
    encoder.stopRecording();
    feed.stop();
    QVERIFY(waitFinished(capture, file));

    const MediaSummary media = inspectMedia(file, 0);
    QVERIFY(media.opened);
    // Half the slots have a picture, and the pictures span the time the
    // sound does: three seconds, not one and a half.
    QVERIFY2(media.videoFrames >= 30 && media.videoFrames <= 45, qPrintable(QString::number(media.videoFrames)));
    const double pictureSpan = media.lastVideoEndS - media.firstVideoS;
    const double soundSpan = media.lastAudioEndS - media.firstAudioS;
    QVERIFY2(pictureSpan >= 2.8 && std::fabs(pictureSpan - soundSpan) <= 0.08,
             qPrintable(QStringLiteral("pictures span %1 s, sound %2 s").arg(pictureSpan).arg(soundSpan)));
}

void TestSessions::newSettingsWaitForTheEnd()
{
    TempEnvironment env;
    DebugCapture capture;
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    SyntheticFeed feed(&encoder, &encoder);
    feed.quietUntilMarked(true);
    feed.start();
    const QString first = env.root() + QStringLiteral("/before.mp4");
    QVERIFY(encoder.startRecording(first.toStdString()));
    QVERIFY(idleFor(feed, 500000));
    encoder.configure(2 * kWidth, 2 * kHeight, kFps, kBitRate);
    QVERIFY2(capture.contains(QStringLiteral("engine: video settings 640x480 25 fps 800000 bit/s wait for the "
                                             "broadcast and the recording to end")),
             qPrintable(capture.messages().join('\n')));
    QVERIFY(encoder.recording());
    QVERIFY(markAndRun(feed));
    QVERIFY(encoder.recording());
    encoder.stopRecording();
    QVERIFY(waitFinished(capture, first));

    const QString second = env.root() + QStringLiteral("/after.mp4");
    QVERIFY(encoder.startRecording(second.toStdString()));
    QVERIFY(markAndRun(feed));
    encoder.stopRecording();
    feed.stop();
    QVERIFY(waitFinished(capture, second));
    QVERIFY(log.recordingEnds().empty());

    const QStringList files{first, second};
    const QList<QSize> sizes{QSize(kWidth, kHeight), QSize(2 * kWidth, 2 * kHeight)};
    for (int i = 0; i < files.size(); ++i) {
        const MediaSummary media = inspectMedia(files[i], 0);
        QCOMPARE(QSize(media.width, media.height), sizes[i]);
        QVERIFY2(media.lastVideoEndS - media.firstVideoS >= 1.8, qPrintable(QString::number(media.lastVideoEndS)));
    }
    QVERIFY(allTogether(files, QString()));
}

std::unique_ptr<QObject> makeSessionsTest()
{
    return std::make_unique<TestSessions>();
}

#include "tst_sessions.moc"
