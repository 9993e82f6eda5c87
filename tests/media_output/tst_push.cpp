// The push: FLV over RTMP to a local receiver, its refusals and failures,
// and a lost receiver that leaves the recording running.

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "EncodeEventLog.h"
#include "EncodePipeline.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "SyntheticFeed.h"
#include "TempEnvironment.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace castcore;
using namespace mediatest;
using namespace testsupport;

class TestPush : public QObject
{
    Q_OBJECT
private slots:
    void pushesSceneAndSound();
    void badAddressRefusedAtOnce_data();
    void badAddressRefusedAtOnce();
    void failedConnectionReported_data();
    void failedConnectionReported();
    void lostReceiverLeavesRecordingAndReconnects();
};

void TestPush::pushesSceneAndSound()
{
    testsupport::TempEnvironment env;
    const QString received = env.root() + "/received.flv";
    RtmpReceiver receiver(received);
    QVERIFY(receiver.start());
    EncodeEventLog log;
    EncodePipeline pipeline(log.events());
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(connectWhenListening(pipeline, log, receiver.url()));
    QVERIFY(!pipeline.active()); // connected, not yet live
    const int refusedBefore = log.states(receiver.url(), false); // before it listened

    pipeline.setLive(true);
    QVERIFY(pipeline.active());
    SyntheticFeed feed(&pipeline, &pipeline);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= 3 * kFps && log.kbpsReports() >= 2, 30000);
    feed.stop();
    QVERIFY(log.lastKbps() > 0);
    pipeline.setLive(false);
    QVERIFY(!pipeline.active());
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
    EncodePipeline pipeline(log.events());
    pipeline.connect(address);
    // Before connect() returns, not after a connection attempt.
    QCOMPARE(log.states(address, false), 1);
    QCOMPARE(log.states(address, true), 0);
    QVERIFY2(capture.contains(QStringLiteral("engine: push address refused")),
             qPrintable(capture.messages().join('\n')));
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
        EncodePipeline pipeline(log.events());
        QElapsedTimer timer;
        timer.start();
        pipeline.connect(longUrl);
        // The call does not wait for the outcome (a refusal on loopback may
        // well be in before the next line; a silent server's cannot).
        if (server == QLatin1String("silent"))
            QCOMPARE(log.states(longUrl, false), 0);
        QTRY_VERIFY_WITH_TIMEOUT(log.states(longUrl, false) == 1, 20000);
        QVERIFY2(timer.elapsed() < 13000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(log.states(longUrl, true), 0);
        // The log line names the address, cut at 200 bytes.
        QVERIFY2(capture.contains(QStringLiteral("engine: push to %1... failed")
                                      .arg(QString::fromStdString(longUrl.substr(0, 200)))),
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
    EncodePipeline pipeline(log.events());
    pipeline.configure(kWidth, kHeight, kFps, kBitRate);
    QVERIFY(connectWhenListening(pipeline, log, first.url()));
    const int refusedBefore = log.states(first.url(), false);
    pipeline.setLive(true);
    QVERIFY(pipeline.startRecording(recorded.toStdString()));
    SyntheticFeed feed(&pipeline, &pipeline);
    feed.start();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= kFps, 20000);

    first.kill();
    QTRY_VERIFY_WITH_TIMEOUT(log.states(first.url(), false) == refusedBefore + 1, 20000);
    QVERIFY(pipeline.recording());
    const int lostAt = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= lostAt + kFps, 20000);
    const qint64 sizeBefore = QFileInfo(recorded).size();

    // A new address continues the broadcast with the same encoder.
    RtmpReceiver second(received);
    QVERIFY(second.start());
    QVERIFY(connectWhenListening(pipeline, log, second.url()));
    const int reconnectedAt = feed.framesFed();
    QTRY_VERIFY_WITH_TIMEOUT(feed.framesFed() >= reconnectedAt + 2 * kFps, 20000);
    feed.stop();
    pipeline.setLive(false);
    QVERIFY(second.waitForEnd(20000));
    QVERIFY(pipeline.recording());
    pipeline.stopRecording();
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

std::unique_ptr<QObject> makePushTest()
{
    return std::make_unique<TestPush>();
}

#include "tst_push.moc"
