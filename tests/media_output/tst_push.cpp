// The push: FLV over RTMP to a local receiver, its refusals and failures,
// a lost receiver that leaves the recording running, and a slow or stalled
// uplink (a throttling relay between the push and the receiver).

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "EncodeEventLog.h"
#include "EncodeLibraryClient.h"
#include "LogCapture.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "SyntheticFeed.h"
#include "TempEnvironment.h"
#include "QtMessageLog.h"
#include "ThrottleRelay.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <vector>

using namespace castcore;
using namespace mediatest;
using namespace testsupport;

namespace {

// Passes the scene on with fresh noise (up to 24 either way on each channel)
// in every picture, so the encoder spends its whole bit rate, as it does on
// a camera's picture; the scene still shows through.
class NoisyScene : public VideoSink
{
public:
    explicit NoisyScene(VideoSink *next) : m_next(next)
    {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> spread(-24, 24);
        m_noise.resize(size_t(kWidth) * kHeight * 4 * 3);
        for (int8_t &n : m_noise)
            n = int8_t(spread(random));
    }

    void onCanvas(const QImage &canvas, int64_t ptsUs) override
    {
        QImage noisy = canvas.copy(); // the encoder may still hold the last one
        const size_t lineBytes = size_t(noisy.width()) * 4;
        size_t from = (m_pictures++ * 7919 * 4) % (m_noise.size() - lineBytes * size_t(noisy.height()));
        for (int y = 0; y < noisy.height(); ++y) {
            uchar *line = noisy.scanLine(y);
            for (size_t x = 0; x < lineBytes; ++x, ++from) {
                if (x % 4 != 3) // opaque stays opaque
                    line[x] = uchar(std::clamp(int(line[x]) + m_noise[from], 0, 255));
            }
        }
        m_next->onCanvas(noisy, ptsUs);
    }

private:
    VideoSink *m_next;
    std::vector<int8_t> m_noise;
    size_t m_pictures = 0;
};

// framesDropped reports with the engine-clock time each came in.
class DropLog
{
public:
    void add(EncodeEvents *events)
    {
        events->framesDropped = [this](int64_t total, float) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_reports.push_back({mediaNowUs(), total});
        };
    }
    // Reports that came in between the two times.
    int reportsBetween(int64_t fromUs, int64_t toUs) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return int(std::count_if(m_reports.begin(), m_reports.end(),
                                 [&](const Report &r) { return r.atUs >= fromUs && r.atUs < toUs; }));
    }
    // The total last reported before the time.
    int64_t totalBefore(int64_t us) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        int64_t total = 0;
        for (const Report &r : m_reports)
            total = r.atUs < us ? r.total : total;
        return total;
    }

private:
    struct Report
    {
        int64_t atUs;
        int64_t total;
    };
    mutable std::mutex m_mutex;
    std::vector<Report> m_reports;
};

std::string urlThrough(const ThrottleRelay &relay)
{
    return "rtmp://127.0.0.1:" + std::to_string(relay.port()) + "/live/s";
}

// 40 % of the stream's bit rate (sound included), in bytes per second.
constexpr qint64 kSlowLink = (kBitRate + 128000) * 4 / 10 / 8;

// The scene pushed live through a relay to a receiver on this machine, with
// every drop report kept. The feed is made, not started.
struct RelayedPush
{
    RelayedPush(const QString &file, qint64 bytesPerSecond)
        : receiver(env.root() + file), rate(bytesPerSecond)
    {
        drops.add(&events);
    }

    bool goLive()
    {
        if (!receiver.start() || !receiver.waitUntilListening(20000))
            return false;
        relay.emplace(receiver.port(), rate);
        if (!relay->start())
            return false;
        url = urlThrough(*relay);
        encoder.emplace(events);
        encoder->configure(kWidth, kHeight, kFps, kBitRate);
        if (!connectWhenListening(*encoder, log, url))
            return false;
        lostBefore = log.states(url, false);
        encoder->setLive(true);
        noisy.emplace(&*encoder);
        feed.emplace(&*noisy, &*encoder);
        return true;
    }

    testsupport::TempEnvironment env;
    RtmpReceiver receiver;
    std::optional<ThrottleRelay> relay;
    qint64 rate;
    std::string url;
    EncodeEventLog log;
    EncodeEvents events = log.events();
    DropLog drops;
    std::optional<EncodeLibraryClient> encoder;
    std::optional<NoisyScene> noisy;
    std::optional<SyntheticFeed> feed;
    int lostBefore = 0;
};

} // namespace

class TestPush : public QObject
{
    Q_OBJECT
private slots:
    void pushesSceneAndSound();
    void badAddressRefusedAtOnce_data();
    void badAddressRefusedAtOnce();
    void caseBlindSchemeConnects();
    void dailyLogHoldsNoStreamKey();
    void failedConnectionReported_data();
    void failedConnectionReported();
    void lostReceiverLeavesRecordingAndReconnects();
    void slowLinkStaysNearLive();
    void stalledReceiverReportedLostSoon();
};

void TestPush::pushesSceneAndSound()
{
    testsupport::TempEnvironment env;
    const QString received = env.root() + "/received.flv";
    RtmpReceiver receiver(received);
    QVERIFY(receiver.start());
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(connectWhenListening(encoder, log, receiver.url()));
    QVERIFY(!encoder.active()); // connected, not yet live
    const int refusedBefore = log.states(receiver.url(), false); // before it listened

    encoder.setLive(true);
    QVERIFY(encoder.active());
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= 3 * kFps && log.kbpsReports() >= 2, 30000);
    feed.stop();
    QVERIFY(log.lastKbps() > 0);
    encoder.setLive(false);
    QVERIFY(!encoder.active());
    QVERIFY(receiver.waitForEnd(20000));
    QCOMPARE(log.states(receiver.url(), false), refusedBefore);

    const MediaSummary media = inspectMedia(received, kFps);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QCOMPARE(media.audioCodec, QStringLiteral("aac"));
    QCOMPARE(media.width, kWidth);
    QCOMPARE(media.height, kHeight);
    QVERIFY2(media.videoFrames >= 2 * kFps, qPrintable(QString::number(media.videoFrames)));
    QVERIFY2(qAbs(media.firstAudioS - media.firstVideoS) <= 0.1,
             qPrintable(QStringLiteral("audio %1 video %2").arg(media.firstAudioS).arg(media.firstVideoS)));
    QString why;
    QVERIFY2(showsScene(media.picture, &why), qPrintable(why));
    const double hz = toneFrequency(media.sound, media.soundRate, 0.5, 2.0);
    QVERIFY2(hz > 980 && hz < 1020, qPrintable(QString::number(hz)));
}

void TestPush::badAddressRefusedAtOnce_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("http") << QStringLiteral("http://127.0.0.1:1935/live/s");
    QTest::newRow("no scheme") << QStringLiteral("127.0.0.1:1935/live/s");
    QTest::newRow("no host") << QStringLiteral("rtmp:///live/s");
    QTest::newRow("empty") << QString();
    QTest::newRow("space") << QStringLiteral("rtmp://127.0.0.1:1935/live/a b");
    QTest::newRow("control character") << QStringLiteral("rtmp://127.0.0.1:1935/live/a\nb");
    QTest::newRow("port out of range") << QStringLiteral("rtmp://127.0.0.1:99999/live/s");
    QTest::newRow("1025 bytes")
        << QStringLiteral("rtmp://127.0.0.1:1935/live/") + QString(1025 - 27, QLatin1Char('x'));
}

void TestPush::badAddressRefusedAtOnce()
{
    QFETCH(QString, url);
    const std::string address = url.toStdString();
    testsupport::DebugCapture capture;
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.connect(address);
    // Before connect() returns, not after a connection attempt.
    QCOMPARE(log.states(address, false), 1);
    QCOMPARE(log.states(address, true), 0);
    QVERIFY2(capture.contains(QStringLiteral("engine: push address refused")),
             qPrintable(capture.messages().join('\n')));
}

// FFmpeg knows its protocols by lower-case names only.
void TestPush::caseBlindSchemeConnects()
{
    testsupport::TempEnvironment env;
    RtmpReceiver receiver(env.root() + "/received.flv");
    QVERIFY(receiver.start());
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    const std::string url = "RTMP://127.0.0.1:" + std::to_string(receiver.port()) + "/live/s";
    QVERIFY(connectWhenListening(encoder, log, url));
}

// Platforms hand out the stream key or a signed token in the address: the
// program's daily log shows where it pushes, never with what right.
void TestPush::dailyLogHoldsNoStreamKey()
{
    testsupport::TempEnvironment env;
    const QtMessageHandler testHandler = qInstallMessageHandler(&QtMessageLog::handle);
    const auto restoreHandler = qScopeGuard([testHandler] { qInstallMessageHandler(testHandler); });
    const std::string key = "sk-51c9e0a7";
    const std::string token = "tok-8d3f2b64";
    const std::string secret = "/live/" + key + "?token=" + token;
    RtmpReceiver receiver(env.root() + "/received.flv");
    QVERIFY(receiver.start());
    const std::string port = std::to_string(receiver.port());
    const std::string closed = std::to_string(testsupport::closedLoopbackPort());
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);

    encoder.connect("rtmp://127.0.0.1:1935" + secret + " x"); // refused
    const std::string failing = "rtmp://127.0.0.1:" + closed + secret;
    encoder.connect(failing);
    QTRY_COMPARE_WITH_TIMEOUT(log.states(failing, false), 1, 20000);
    const std::string url = "rtmp://127.0.0.1:" + port + secret;
    QVERIFY(connectWhenListening(encoder, log, url));
    encoder.setLive(true);
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= kFps && log.kbpsReports() >= 1, 20000);
    feed.stop();
    encoder.setLive(false);
    QVERIFY(receiver.waitForEnd(20000));
    QVERIFY(inspectMedia(env.root() + "/received.flv", kFps).opened);

    const QStringList texts = LogCapture::texts();
    const QString all = texts.join(QLatin1Char('\n'));
    const QString shown = QStringLiteral("rtmp://127.0.0.1:") + QString::fromStdString(port) + QStringLiteral("/live/***");
    QVERIFY2(texts.contains(QStringLiteral("engine: push address refused (contains a space or a control character): "
                                           "rtmp://127.0.0.1:1935/live/***")),
             qPrintable(all));
    const QString failed = QStringLiteral("engine: push to rtmp://127.0.0.1:") + QString::fromStdString(closed)
                           + QStringLiteral("/live/*** failed: ");
    QVERIFY2(std::any_of(texts.begin(), texts.end(), [&](const QString &t) { return t.startsWith(failed); }),
             qPrintable(all));
    QVERIFY2(texts.contains(QStringLiteral("engine: push connected to ") + shown), qPrintable(all));
    QVERIFY2(texts.contains(QStringLiteral("engine: push to ") + shown + QStringLiteral(" ended")), qPrintable(all));
    QFile file(LogCapture::todayPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QVERIFY2(!bytes.contains(QByteArray::fromStdString(key)), qPrintable(all));
    QVERIFY2(!bytes.contains(QByteArray::fromStdString(token)), qPrintable(all));
}

void TestPush::failedConnectionReported_data()
{
    QTest::addColumn<QString>("server");
    QTest::newRow("nothing listens") << QStringLiteral("closed");
    QTest::newRow("closes at once") << QStringLiteral("close");
    QTest::newRow("answers garbage") << QStringLiteral("garbage");
    QTest::newRow("never answers") << QStringLiteral("silent");
}

void TestPush::failedConnectionReported()
{
    QFETCH(QString, server);
    QTcpServer tcp;
    QList<QTcpSocket *> held;
    quint16 port = testsupport::closedLoopbackPort();
    if (server != QLatin1String("closed")) {
        QVERIFY(tcp.listen(QHostAddress::LocalHost, 0));
        port = tcp.serverPort();
        connect(&tcp, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *socket = tcp.nextPendingConnection()) {
                if (server == QLatin1String("close")) {
                    socket->abort();
                    socket->deleteLater();
                } else {
                    if (server == QLatin1String("garbage"))
                        socket->write(QByteArray(4096, 'x'));
                    held << socket;
                }
            }
        });
    }
    const std::string url = "rtmp://127.0.0.1:" + std::to_string(port) + "/live/s";
    // A 1024-byte address is still taken: only the server refuses it.
    const std::string longUrl = url + std::string(1024 - url.size(), 'x');
    testsupport::DebugCapture capture;
    EncodeEventLog log;
    {
        EncodeLibraryClient encoder(log.events());
        QElapsedTimer timer;
        timer.start();
        encoder.connect(longUrl);
        // The call does not wait for the outcome (a refusal on loopback may
        // well be in before the next line; a silent server's cannot).
        if (server == QLatin1String("silent"))
            QCOMPARE(log.states(longUrl, false), 0);
        QTRY_VERIFY_WITH_TIMEOUT(log.states(longUrl, false) == 1, 20000);
        QVERIFY2(timer.elapsed() < 13000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(log.states(longUrl, true), 0);
        // The log line names the server and the application, not the rest.
        QVERIFY2(capture.contains(QStringLiteral("engine: push to rtmp://127.0.0.1:%1/live/*** failed: ").arg(port)),
                 qPrintable(capture.messages().join('\n')));
        // A handshake that never comes is told as such, not as FFmpeg's
        // word for an interrupted call.
        if (server == QLatin1String("silent"))
            QVERIFY2(capture.contains(QStringLiteral("failed: the server did not answer within 10 s")),
                     qPrintable(capture.messages().join('\n')));
        QVERIFY2(!capture.contains(QStringLiteral("Immediate exit requested")),
                 qPrintable(capture.messages().join('\n')));
    }
    qDeleteAll(held);
}

void TestPush::lostReceiverLeavesRecordingAndReconnects()
{
    testsupport::TempEnvironment env;
    const QString recorded = env.root() + "/kept.mp4";
    const QString received = env.root() + "/second.flv";
    RtmpReceiver first(env.root() + "/first.flv");
    QVERIFY(first.start());
    EncodeEventLog log;
    EncodeLibraryClient encoder(log.events());
    encoder.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(connectWhenListening(encoder, log, first.url()));
    const int refusedBefore = log.states(first.url(), false);
    encoder.setLive(true);
    QVERIFY(encoder.startRecording(recorded.toStdString()));
    SyntheticFeed feed(&encoder, &encoder);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= kFps, 20000);

    first.kill();
    QTRY_VERIFY_WITH_TIMEOUT(log.states(first.url(), false) == refusedBefore + 1, 20000);
    QVERIFY(encoder.recording());
    const int lostAt = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= lostAt + kFps, 20000);
    const qint64 sizeBefore = QFileInfo(recorded).size();

    // A new address continues the broadcast with the same encoder.
    RtmpReceiver second(received);
    QVERIFY(second.start());
    QVERIFY(connectWhenListening(encoder, log, second.url()));
    const int reconnectedAt = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= reconnectedAt + 2 * kFps, 20000);
    feed.stop();
    encoder.setLive(false);
    QVERIFY(second.waitForEnd(20000));
    QVERIFY(encoder.recording());
    encoder.stopRecording();
    QVERIFY(QFileInfo(recorded).size() > sizeBefore);
    QCOMPARE(log.states(first.url(), false), refusedBefore + 1); // reported once

    const MediaSummary kept = inspectMedia(recorded, 0);
    QVERIFY(kept.opened);
    QVERIFY2(kept.videoFrames >= feed.framesFed() * 8 / 10,
             qPrintable(QStringLiteral("%1 of %2").arg(kept.videoFrames).arg(feed.framesFed())));
    QString why;
    QVERIFY2(showsScene(kept.picture, &why), qPrintable(why));

    const MediaSummary again = inspectMedia(received, 0);
    QVERIFY(again.opened);
    QCOMPARE(again.videoCodec, QStringLiteral("h264"));
    QVERIFY2(again.videoFrames >= kFps, qPrintable(QString::number(again.videoFrames)));
    // Starts on a keyframe: its first picture is whole.
    QVERIFY2(showsScene(again.picture, &why), qPrintable(why));
}

void TestPush::slowLinkStaysNearLive()
{
    RelayedPush push(QStringLiteral("/slow.flv"), kSlowLink);
    QVERIFY(push.goLive());
    const QString received = push.env.root() + "/slow.flv";
    RtmpReceiver &receiver = push.receiver;
    EncodeLibraryClient &encoder = *push.encoder;
    SyntheticFeed &feed = *push.feed;
    DropLog &drops = push.drops;
    EncodeEventLog &log = push.log;
    const std::string &url = push.url;
    const int lostBefore = push.lostBefore;
    // The stream's time 0 is the first picture's, fed just after this: the
    // delays measured are, if anything, too long.
    const int64_t startUs = mediaNowUs();
    feed.start();

    // The delay of the newest picture the receiver wrote, sampled as they
    // come for 20 s; the first 6 s are the start (the link fills, the
    // receiver reads the stream's head before it writes).
    constexpr int64_t kRunUs = 20000000;
    constexpr int64_t kSteadyFromUs = 6000000;
    QStringList samples;
    int64_t worstMs = 0;
    int64_t worstAtMs = 0;
    size_t seen = 0;
    int64_t loggedSecond = -1;
    while (mediaNowUs() - startUs < kRunUs) {
        QTest::qWait(20);
        const std::vector<RtmpReceiver::VideoTag> &tags = receiver.videoReceived();
        if (tags.size() == seen)
            continue;
        seen = tags.size();
        const int64_t sinceStartMs = (mediaNowUs() - startUs) / 1000;
        const int64_t delayMs = sinceStartMs - tags.back().ms;
        if (sinceStartMs / 1000 != loggedSecond) {
            loggedSecond = sinceStartMs / 1000;
            samples << QStringLiteral("%1 s: %2 ms").arg(loggedSecond).arg(delayMs);
        }
        if (sinceStartMs * 1000 >= kSteadyFromUs && delayMs > worstMs) {
            worstMs = delayMs;
            worstAtMs = sinceStartMs;
        }
    }
    const int64_t stopUs = mediaNowUs();
    const int fed = feed.framesFed();
    const int arrived = int(receiver.videoReceived().size());
    const int dropReports = drops.reportsBetween(startUs, stopUs);
    const int64_t dropped = drops.totalBefore(stopUs);
    feed.stop();
    qInfo("slow link at 40 %%: worst delay %lld ms at %lld ms; of %d frames %d arrived, %lld reported dropped "
          "in %d reports; %s",
          (long long)worstMs, (long long)worstAtMs, fed, arrived, (long long)dropped, dropReports,
          qPrintable(samples.join(", ")));
    QCOMPARE(log.states(url, false), lostBefore); // slow, not lost
    QVERIFY2(worstMs < 3000, qPrintable(samples.join(", ")));
    // The link cannot carry it all. Each frame that did not arrive was
    // reported dropped by now, but those still on their way (at most the
    // queue's span and what the connection holds: 3 s).
    QVERIFY2(dropped >= fed - arrived - 3 * kFps,
             qPrintable(QStringLiteral("%1 of %2 dropped, %3 arrived").arg(dropped).arg(fed).arg(arrived)));
    QVERIFY(dropReports >= 2);
    encoder.setLive(false);
    QVERIFY(receiver.waitForEnd(20000));

    // What came through starts at a keyframe after every gap, and decodes.
    const std::vector<RtmpReceiver::VideoTag> tags = receiver.videoReceived();
    QVERIFY(!tags.empty());
    QVERIFY(tags.front().keyframe);
    int gaps = 0;
    for (size_t i = 1; i < tags.size(); ++i) {
        if (tags[i].ms - tags[i - 1].ms > 3 * 1000 / kFps) {
            ++gaps;
            QVERIFY2(tags[i].keyframe, qPrintable(QStringLiteral("after %1 ms").arg(tags[i - 1].ms)));
        }
    }
    QVERIFY(gaps > 0);
    const MediaSummary media = inspectMedia(received, 2 * kFps);
    QVERIFY(media.opened);
    QCOMPARE(media.videoCodec, QStringLiteral("h264"));
    QVERIFY2(media.videoFrames >= 2 * kFps, qPrintable(QString::number(media.videoFrames)));
    QString why;
    QVERIFY2(showsScene(media.picture, &why), qPrintable(why));
}

void TestPush::stalledReceiverReportedLostSoon()
{
    RelayedPush push(QStringLiteral("/stalled.flv"), 0);
    QVERIFY(push.goLive());
    RtmpReceiver &receiver = push.receiver;
    SyntheticFeed &feed = *push.feed;
    DropLog &drops = push.drops;
    EncodeEventLog &log = push.log;
    const std::string &url = push.url;
    const int lostBefore = push.lostBefore;
    ThrottleRelay &relay = *push.relay;
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(!receiver.videoReceived().empty() && receiver.videoReceived().back().ms >= 2000,
                             30000);

    relay.stall();
    const int64_t stallUs = mediaNowUs();
    const int fedAtStall = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(log.states(url, false) == lostBefore + 1, 40000);
    const int64_t lostUs = mediaNowUs();
    const int fedSinceStall = feed.framesFed() - fedAtStall;
    feed.stop();
    const int64_t lostAfterMs = (lostUs - stallUs) / 1000;
    const int64_t droppedMeanwhile = drops.totalBefore(lostUs) - drops.totalBefore(stallUs);
    qInfo("stalled receiver reported lost after %lld ms; of %d frames since, %lld reported dropped before",
          (long long)lostAfterMs, fedSinceStall, (long long)droppedMeanwhile);
    QVERIFY2(lostAfterMs <= 12000, qPrintable(QString::number(lostAfterMs)));
    // Nothing went out after the stall: the frames were reported dropped as
    // they left the queue, not with the loss (the queue holds at most 3 s).
    QVERIFY2(droppedMeanwhile >= fedSinceStall - 3 * kFps,
             qPrintable(QStringLiteral("%1 of %2").arg(droppedMeanwhile).arg(fedSinceStall)));
}

std::unique_ptr<QObject> makePushTest()
{
    return std::make_unique<TestPush>();
}

#include "tst_push.moc"
