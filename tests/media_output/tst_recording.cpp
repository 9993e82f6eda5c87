// The recording: a fragmented MP4 of the composed scene and the mixed sound
// that plays back, survives a SIGKILL, fails cleanly on bad places, never
// replaces a file, and never lets a stalled or full disk hold up its owner.

#include "DebugCapture.h"
#include "EncodeEventLog.h"
#include "EncodeLibraryClient.h"
#include "MediaInspector.h"
#include "RecordFile.h"
#include "SyntheticFeed.h"
#include "TempEnvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace castcore;
using namespace mediatest;
using namespace testsupport;

int runRecorderChild(const QString &path)
{
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    if (!encoder.startRecording(path.toStdString()))
        return 2;
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    // Runs until the test kills it (a minute at most).
    for (int i = 0; i < 600; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        std::printf("fed %d\n", feed.framesFed());
        std::fflush(stdout);
    }
    return 0;
}

namespace {

// The reading end of a FIFO standing in for a disk: takes what the
// recording writes while reading, and nothing once paused, as a disk that
// stopped answering.
class FifoDisk
{
public:
    explicit FifoDisk(const QString &path) : m_path(path)
    {
        const QByteArray name = QFile::encodeName(path);
        if (::mkfifo(name.constData(), 0600) != 0)
            return;
        // Open before the writer: a FIFO nobody reads is refused.
        m_fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd >= 0)
            m_thread = std::thread([this] { run(); });
    }
    ~FifoDisk()
    {
        m_stop.store(true);
        if (m_thread.joinable())
            m_thread.join();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isValid() const { return m_fd >= 0; }
    void pause() { m_reading.store(false); }
    void resume() { m_reading.store(true); }
    qint64 bytesRead() const { return m_bytes.load(); }
    // Once paused: whether the writer has stopped getting anything in, while
    // it is being handed frames (it flushes every packet).
    bool stalled() const
    {
        const int before = queued();
        QTest::qWait(500);
        return before > 0 && queued() == before;
    }

private:
    int queued() const
    {
        int bytes = 0;
        return ::ioctl(m_fd, FIONREAD, &bytes) == 0 ? bytes : -1;
    }

    void run()
    {
        std::vector<char> buffer(65536);
        while (!m_stop.load()) {
            if (!m_reading.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
                if (n > 0)
                    m_bytes.fetch_add(n);
                else if (n == 0) // no writer (yet, or any more)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    QString m_path;
    int m_fd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_reading{true};
    std::atomic<qint64> m_bytes{0};
    std::thread m_thread;
};

// Runs `job` on a thread of its own; true when it returns within `limitMs`.
// If it does not, `rescue` is called until it returns, so that a fault
// fails the test instead of hanging it.
bool returnsWithin(int limitMs, const std::function<void()> &job, const std::function<void()> &rescue)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::thread worker([&] {
        job();
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        changed.notify_all();
    });
    std::unique_lock<std::mutex> lock(mutex);
    const bool inTime = changed.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done; });
    while (!done) {
        lock.unlock();
        rescue();
        lock.lock();
        changed.wait_for(lock, std::chrono::milliseconds(20), [&] { return done; });
    }
    lock.unlock();
    worker.join();
    return inTime;
}

int linesWith(const DebugCapture &capture, const QString &fragment)
{
    int n = 0;
    for (const QString &line : capture.messages())
        n += line.contains(fragment) ? 1 : 0;
    return n;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestRecording : public QObject
{
    Q_OBJECT
private slots:
    void recordsSceneAndSound_data();
    void recordsSceneAndSound();
    void survivesSigkill();
    void refusesPlaceThatCannotBeWritten_data();
    void refusesPlaceThatCannotBeWritten();
    void numberedNames_data();
    void numberedNames();
    void neverReplacesAFile_data();
    void neverReplacesAFile();
    void startsInOneSecondKeepBothFiles();
    void sameFileAgainGoesOn();
    void writeErrorEndsRecording();
    void fullDiskKeepsWhatWasWritten();
    void stopReturnsWhileDiskStalls();
    void fallingBehindLogsOncePerEpisode();
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
    testsupport::DebugCapture capture;
    const QString file = env.root() + "/scene.mp4";
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(!encoder.active());

    QVERIFY(encoder.startRecording(file.toStdString()));
    QVERIFY(encoder.recording());
    QVERIFY(encoder.active());
    SyntheticFeed feed(&encoder, withSound ? &encoder : nullptr);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= 4 * kFps, 30000);
    feed.stop();
    QElapsedTimer stopping;
    stopping.start();
    encoder.stopRecording();
    qInfo("stop with a healthy disk returned in %lld ms", static_cast<long long>(stopping.elapsed()));
    QVERIFY(!encoder.recording());
    QVERIFY(!encoder.active());
    QVERIFY(waitFinished(capture, file));
    QVERIFY(log.recordingEnds().empty());

    const MediaSummary media = inspectMedia(file, 2 * kFps);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QCOMPARE(media.audioCodec, QStringLiteral("aac"));
    QCOMPARE(media.width, kWidth);
    QCOMPARE(media.height, kHeight);
    QVERIFY2(media.videoFrames >= 90 && media.videoFrames <= 110, qPrintable(QString::number(media.videoFrames)));
    // Every canvas handed in before the stop is in, the last ones too, and
    // the sound lasts as long.
    QVERIFY2(media.videoFrames >= feed.framesFed() - 1,
             qPrintable(QStringLiteral("%1 of %2 pictures").arg(media.videoFrames).arg(feed.framesFed())));
    QVERIFY2(qAbs(media.lastAudioEndS - media.lastVideoEndS) <= 0.04,
             qPrintable(QStringLiteral("sound ends at %1 s, picture at %2 s").arg(media.lastAudioEndS).arg(media.lastVideoEndS)));
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
    // Refused at once rather than waiting for a reader.
    QTest::newRow("FIFO nobody reads") << QStringLiteral("@/fifo");
}

void TestRecording::refusesPlaceThatCannotBeWritten()
{
    QFETCH(QString, path);
    testsupport::TempEnvironment env;
    QFile plain(env.root() + "/plain");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    QVERIFY(::mkfifo(QFile::encodeName(env.root() + "/fifo").constData(), 0600) == 0);
    path.replace('@', env.root());
    testsupport::DebugCapture capture;
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(!encoder.startRecording(path.toStdString()));
    QVERIFY(!encoder.recording());
    QVERIFY(!encoder.active());
    QVERIFY2(capture.contains(QStringLiteral("engine: cannot record to \"%1\"").arg(path)),
             qPrintable(capture.messages().join('\n')));
}

void TestRecording::numberedNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("extension") << "/r/2026-1210-1700-00.mp4" << 1 << "/r/2026-1210-1700-00-1.mp4";
    QTest::newRow("two digits") << "/r/live.mp4" << 12 << "/r/live-12.mp4";
    QTest::newRow("last dot only") << "/r/a.b.flv" << 2 << "/r/a.b-2.flv";
    QTest::newRow("no extension") << "/r.d/rec" << 1 << "/r.d/rec-1";
    QTest::newRow("dot file") << "/r/.mp4" << 1 << "/r/.mp4-1";
    QTest::newRow("bare name") << "rec.mp4" << 3 << "rec-3.mp4";
}

void TestRecording::numberedNames()
{
    QFETCH(QString, path);
    QFETCH(int, number);
    QFETCH(QString, numbered);
    QCOMPARE(QString::fromStdString(RecordFile::numbered(path.toStdString(), number)), numbered);
}

void TestRecording::neverReplacesAFile_data()
{
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("written");
    QTest::newRow("the name") << QStringList{"rec.mp4"} << "rec-1.mp4";
    QTest::newRow("the name and its first number") << QStringList{"rec.mp4", "rec-1.mp4"} << "rec-2.mp4";
    QTest::newRow("a folder of that name") << QStringList{"rec.mp4/"} << "rec-1.mp4";
    QTest::newRow("a link to nowhere") << QStringList{"rec.mp4@"} << "rec-1.mp4";
}

void TestRecording::neverReplacesAFile()
{
    QFETCH(QStringList, taken);
    QFETCH(QString, written);
    testsupport::TempEnvironment env;
    testsupport::DebugCapture capture;
    const QString folder = env.root() + "/rec";
    QVERIFY(QDir().mkpath(folder));
    // What was there before: 16 KB of its own bytes per file.
    QMap<QString, QByteArray> before;
    for (QString name : taken) {
        if (name.endsWith('/')) {
            QVERIFY(QDir(folder).mkdir(name.chopped(1)));
        } else if (name.endsWith('@')) {
            QVERIFY(QFile::link(folder + "/gone", folder + "/" + name.chopped(1)));
        } else {
            QFile file(folder + "/" + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray bytes = QByteArray(16384, char('a' + before.size()));
            file.write(bytes);
            before.insert(name, bytes);
        }
    }
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    const QString asked = folder + "/rec.mp4";
    QVERIFY(encoder.startRecording(asked.toStdString()));
    QVERIFY(encoder.recording());
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= kFps, 30000);
    feed.stop();
    encoder.stopRecording();

    const QString file = folder + "/" + written;
    QVERIFY(waitFinished(capture, file));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(readAll(folder + "/" + it.key()), it.value());
    QVERIFY(!QFileInfo::exists(folder + "/gone"));
    QVERIFY2(capture.contains(QStringLiteral("engine: %1 is taken; recording to %2").arg(asked, file)),
             qPrintable(capture.messages().join('\n')));
    const MediaSummary media = inspectMedia(file, 0);
    QVERIFY(media.opened);
    QVERIFY2(media.videoFrames >= kFps / 2, qPrintable(QString::number(media.videoFrames)));
}

void TestRecording::startsInOneSecondKeepBothFiles()
{
    // File names carry the second: two starts within one give the same name.
    testsupport::TempEnvironment env;
    testsupport::DebugCapture capture;
    const QString asked = env.root() + "/2026-1210-1700-00.mp4";
    const QString second = env.root() + "/2026-1210-1700-00-1.mp4";
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QVERIFY(encoder.startRecording(asked.toStdString()));
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= kFps, 30000);
    encoder.stopRecording();
    QVERIFY(waitFinished(capture, asked));
    const QByteArray first = readAll(asked);
    QVERIFY(first.size() > 4096);

    QVERIFY(encoder.startRecording(asked.toStdString()));
    const int from = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= from + kFps / 2, 30000);
    encoder.stopRecording();
    feed.stop();
    QVERIFY(waitFinished(capture, second));
    QCOMPARE(readAll(asked), first);
    QVERIFY(inspectMedia(second, 0).videoFrames > 0);
}

void TestRecording::sameFileAgainGoesOn()
{
    // A line fallback asks for the file being written again.
    testsupport::TempEnvironment env;
    testsupport::DebugCapture capture;
    const QString folder = env.root() + "/rec";
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + "/live.mp4";
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(encoder.startRecording(file.toStdString()));
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= 2 * kFps, 30000);
    const int again = feed.framesFed();
    QVERIFY(encoder.startRecording(file.toStdString()));
    QVERIFY(encoder.recording());
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= again + kFps, 30000);
    encoder.stopRecording();
    const int fed = feed.framesFed();
    feed.stop();
    QVERIFY(waitFinished(capture, file));

    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"live.mp4"});
    QVERIFY2(capture.contains(QStringLiteral("engine: recording %1 goes on").arg(file)),
             qPrintable(capture.messages().join('\n')));
    // Everything from the first start on, not only what followed the second.
    const MediaSummary media = inspectMedia(file, 0);
    QVERIFY(media.opened);
    QVERIFY2(media.videoFrames >= fed - kFps / 2,
             qPrintable(QStringLiteral("%1 of %2 frames").arg(media.videoFrames).arg(fed)));
    QVERIFY(log.recordingEnds().empty());
}

void TestRecording::writeErrorEndsRecording()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/full")))
        QSKIP("no /dev/full here");
    testsupport::DebugCapture capture;
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(encoder.startRecording("/dev/full"));
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(!encoder.recording(), 15000);
    QVERIFY(!encoder.active());
    QTRY_COMPARE_WITH_TIMEOUT(log.recordingEnds().size(), size_t(1), 15000);
    feed.stop();
    QVERIFY2(capture.contains(QStringLiteral("engine: recording /dev/full stopped")),
             qPrintable(capture.messages().join('\n')));
    const RecordingEnd end = log.recordingEnds().front();
    QCOMPARE(end.path, std::string("/dev/full"));
    QCOMPARE(end.error, ENOSPC);
    QVERIFY2(QString::fromStdString(end.why).contains(QStringLiteral("No space left on device")), end.why.c_str());
    // The owner's stop afterwards is not a second end.
    encoder.stopRecording();
    QCOMPARE(log.recordingEnds().size(), size_t(1));
}

void TestRecording::fullDiskKeepsWhatWasWritten()
{
    if (::geteuid() != 0)
        QSKIP("a small disk of its own needs root to mount");
    testsupport::TempEnvironment env;
    const QString disk = env.root() + "/small";
    QVERIFY(QDir().mkpath(disk));
    const QByteArray mountPoint = QFile::encodeName(disk);
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_NOSUID | MS_NODEV | MS_NOEXEC, "size=256k") != 0)
        QSKIP(qPrintable(QStringLiteral("cannot mount a small disk: %1").arg(qt_error_string(errno))));
    struct Unmount
    {
        QByteArray point;
        ~Unmount() { ::umount2(point.constData(), MNT_DETACH); }
    } unmount{mountPoint};

    testsupport::DebugCapture capture;
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    const QString file = disk + "/full.mp4";
    QVERIFY(encoder.startRecording(file.toStdString()));
    SyntheticFeed feed(&encoder, &encoder);
    feed.noisy(true); // a picture that costs bytes fills the disk in seconds
    feed.start();
    QTRY_COMPARE_WITH_TIMEOUT(log.recordingEnds().size(), size_t(1), 60000);
    QVERIFY(!encoder.recording());
    feed.stop();
    const RecordingEnd end = log.recordingEnds().front();
    QCOMPARE(QString::fromStdString(end.path), file);
    QCOMPARE(end.error, ENOSPC);
    QVERIFY2(capture.contains(QStringLiteral("engine: recording %1 stopped: write error: No space left on device")
                                  .arg(file)),
             qPrintable(capture.messages().join('\n')));
    encoder.stopRecording();
    QCOMPARE(log.recordingEnds().size(), size_t(1));

    // What was written plays, up to its last whole fragment.
    const MediaSummary media = inspectMedia(file, 0);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QVERIFY2(media.videoFrames >= kFps / 2, qPrintable(QString::number(media.videoFrames)));
    QCOMPARE(media.picture.size(), QSize(kWidth, kHeight));
}

void TestRecording::stopReturnsWhileDiskStalls()
{
    testsupport::TempEnvironment env;
    testsupport::DebugCapture capture;
    const QString file = env.root() + "/stalled.mp4";
    FifoDisk disk(file);
    QVERIFY(disk.isValid());
    EncodeEventLog log;
    auto encoder = std::make_unique<EncodeLibraryClient>(log.events());
    encoder->configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(encoder->startRecording(file.toStdString()));
    SyntheticFeed feed(encoder.get(), encoder.get());
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(disk.bytesRead() > 0, 30000);
    disk.pause();
    QTRY_VERIFY_WITH_TIMEOUT(disk.stalled(), 60000);
    const int stalledAt = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= stalledAt + kFps / 2, 30000);

    // Were the stop to wait for the disk, the disk would take data again
    // after 5 s so that the test ends.
    std::atomic<qint64> stopMs{-1};
    const bool inTime = returnsWithin(
        5000,
        [&] {
            QElapsedTimer timer;
            timer.start();
            encoder->stopRecording();
            stopMs.store(timer.elapsed());
        },
        [&] { disk.resume(); });
    qInfo("stop with a stalled disk returned in %lld ms", static_cast<long long>(stopMs.load()));
    QVERIFY2(inTime && stopMs.load() < 1000, qPrintable(QStringLiteral("stop took %1 ms").arg(stopMs.load())));
    QVERIFY(!encoder->recording());
    feed.stop();

    // Neither does the end of the program wait for it for long.
    QElapsedTimer timer;
    timer.start();
    QVERIFY(returnsWithin(15000, [&] { encoder.reset(); }, [&] { disk.resume(); }));
    const qint64 endMs = timer.elapsed();
    qInfo("the encoder's end with a stalled disk took %lld ms", static_cast<long long>(endMs));
    QVERIFY2(endMs < 10000, qPrintable(QStringLiteral("the end took %1 ms").arg(endMs)));

    // The writer gives up on its own within its bound; its owner stopped it,
    // so nothing is reported.
    QTRY_VERIFY_WITH_TIMEOUT(capture.contains(QStringLiteral("engine: recording %1 given up").arg(file)), 60000);
    QVERIFY(log.recordingEnds().empty());
}

void TestRecording::fallingBehindLogsOncePerEpisode()
{
    testsupport::TempEnvironment env;
    testsupport::DebugCapture capture;
    const QString file = env.root() + "/slow.mp4";
    FifoDisk disk(file);
    QVERIFY(disk.isValid());
    EncodeLibraryClient encoder{EncodeEvents{}};
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(encoder.startRecording(file.toStdString()));
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(disk.bytesRead() > 0, 30000);
    disk.pause();
    const QString behind = QStringLiteral("engine: recording %1 fell behind").arg(file);
    QTRY_VERIFY_WITH_TIMEOUT(capture.contains(behind), 60000);
    // Frames keep being left out for a while (until the next keyframe at least).
    const int from = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= from + 3 * kFps, 30000);
    disk.resume();
    const QString caughtUp = QStringLiteral("engine: recording %1 caught up: ").arg(file);
    QTRY_VERIFY_WITH_TIMEOUT(capture.contains(caughtUp), 60000);
    encoder.stopRecording();
    feed.stop();

    QCOMPARE(linesWith(capture, behind), 1);
    QCOMPARE(linesWith(capture, caughtUp), 1);
    QRegularExpression count(QRegularExpression::escape(caughtUp) + QStringLiteral("(\\d+) frames left out"));
    QRegularExpressionMatch match;
    for (const QString &line : capture.messages()) {
        if (line.contains(caughtUp))
            match = count.match(line);
    }
    QVERIFY2(match.hasMatch(), qPrintable(capture.messages().join('\n')));
    // At least the three seconds fed after the first was left out.
    const int leftOut = match.captured(1).toInt();
    QVERIFY2(leftOut >= 3 * kFps && leftOut <= feed.framesFed(), qPrintable(QString::number(leftOut)));
}

std::unique_ptr<QObject> makeRecordingTest()
{
    return std::make_unique<TestRecording>();
}

#include "tst_recording.moc"
