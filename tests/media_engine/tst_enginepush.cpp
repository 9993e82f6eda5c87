// The push through the scene: SetPushUrl connects for real and answers on the
// library thread, SetLive sends the composed scene to a local receiver,
// failed and refused addresses answer false, and a receiver lost mid-stream
// leaves the recording running.

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "EngineMedia.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using namespace enginetest;
using testsupport::MediaSummary;
using testsupport::RtmpReceiver;

namespace {

// Checks the decoded picture against the scene: the picture's colour in its
// rect, the black canvas around it (inset for chroma shared by 2x2 pixels).
bool showsPicture(const QImage &picture, QString *why)
{
    return testsupport::areaHasColour(picture, kPictureRect.adjusted(6, 6, -6, -6), kPictureColour, 40, why)
           && testsupport::areaHasColour(picture, QRect(4, 4, kPictureRect.left() - 12, kHeight - 8), Qt::black, 30, why)
           && testsupport::areaHasColour(picture, QRect(kPictureRect.right() + 8, 4, kWidth - kPictureRect.right() - 12, kHeight - 8),
                                         Qt::black, 30, why);
}

// A TCP server that takes every connection and closes it at once.
class ClosingServer
{
public:
    bool listen()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++m_accepted;
                s->abort();
                s->deleteLater();
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    std::string url() const { return "rtmp://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/live/s"; }
    int accepted() const { return m_accepted; }

private:
    QTcpServer m_server;
    int m_accepted = 0;
};

bool allOnLibraryThread(EngineFixture &f, const char *op)
{
    for (const mvplatform::CallRecord &r : f.listener.calls.of(op))
        if (r.thread != f.ours()->libraryThread())
            return false;
    return true;
}

} // namespace

class EnginePushTest : public QObject
{
    Q_OBJECT

private slots:
    void pushSendsTheComposedScene();
    void failedConnectionsAnswerFalse_data();
    void failedConnectionsAnswerFalse();
    void lostReceiverLeavesTheRecordingRunning();
    void badAddressesRefusedAtOnce_data();
    void badAddressesRefusedAtOnce();
};

void EnginePushTest::pushSendsTheComposedScene()
{
    EngineFixture f;
    const QString received = f.env.workPath() + QStringLiteral("/received.flv");
    RtmpReceiver receiver(received);
    QVERIFY(receiver.start());
    QVERIFY(receiver.waitUntilListening(kWaitMs));
    QCOMPARE(initScene(f), 0);
    QVERIFY(addPicture(f) > 0);

    const std::string url = receiver.url();
    f.scene()->SetPushUrl(url.c_str(), 1, 0);
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url, true), 1, kWaitMs);
    QCOMPARE(pushStates(f.listener, url, false), 0);
    QCOMPARE(f.listener.calls.last("OnPushState")->args.at(2), std::string("0"));
    QVERIFY(allOnLibraryThread(f, "OnPushState"));

    // About three seconds live: one rate report a second.
    const int kbps = f.listener.calls.count("OnKbps");
    f.scene()->SetLive(true);
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnKbps") >= kbps + 3, kWaitMs);
    f.scene()->SetLive(false);
    QVERIFY(receiver.waitForEnd(kWaitMs));
    QCOMPARE(pushStates(f.listener, url, false), 0); // an ended stream is no lost push

    const MediaSummary m = testsupport::inspectMedia(received, kFps);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QCOMPARE(QSize(m.width, m.height), QSize(kWidth, kHeight));
    QVERIFY2(m.videoFrames >= kFps, qPrintable(QString::number(m.videoFrames)));
    QVERIFY2(!m.sound.empty(), "no sound decoded");
    QString why;
    QVERIFY2(showsPicture(m.picture, &why), qPrintable(why));
}

void EnginePushTest::failedConnectionsAnswerFalse_data()
{
    QTest::addColumn<bool>("accepts");
    QTest::newRow("closed loopback port") << false;
    QTest::newRow("server that accepts and closes") << true;
}

void EnginePushTest::failedConnectionsAnswerFalse()
{
    QFETCH(bool, accepts);
    EngineFixture f;
    testsupport::DebugCapture capture;
    ClosingServer closing;
    std::string url = "rtmp://127.0.0.1:" + std::to_string(testsupport::closedLoopbackPort()) + "/live/s";
    if (accepts) {
        QVERIFY(closing.listen());
        url = closing.url();
    }
    QCOMPARE(initScene(f), 0);
    f.scene()->SetPushUrl(url.c_str(), 1, 0);
    // The engine gives up on a connection after 10 s at the latest.
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url, false), 1, kWaitMs);
    QCOMPARE(pushStates(f.listener, url, true), 0);
    QVERIFY(allOnLibraryThread(f, "OnPushState"));
    QVERIFY(capture.contains(QStringLiteral("engine: push to rtmp://127.0.0.1:")));
    if (accepts)
        QVERIFY(closing.accepted() >= 1);
    // Going live on a failed push sends nothing and reports nothing more.
    f.scene()->SetLive(true);
    QVERIFY(castcore::control().waitIdle());
    f.scene()->SetLive(false);
    QVERIFY(castcore::control().waitIdle());
    QCOMPARE(f.listener.calls.count("OnPushState"), 1);
}

void EnginePushTest::lostReceiverLeavesTheRecordingRunning()
{
    EngineFixture f;
    RtmpReceiver receiver(f.env.workPath() + QStringLiteral("/received.flv"));
    QVERIFY(receiver.start());
    QVERIFY(receiver.waitUntilListening(kWaitMs));
    QCOMPARE(initScene(f), 0);
    QVERIFY(addPicture(f) > 0);
    const std::string url = receiver.url();
    f.scene()->SetPushUrl(url.c_str(), 1, 0);
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url, true), 1, kWaitMs);
    f.scene()->SetLive(true);
    const QString file = f.env.workPath() + QStringLiteral("/kept.mp4");
    QVERIFY(f.engine->GetRecorder()->Start(file.toUtf8().constData()));
    const int kbps = f.listener.calls.count("OnKbps");
    QTRY_VERIFY_WITH_TIMEOUT(f.listener.calls.count("OnKbps") >= kbps + 2, kWaitMs);

    receiver.kill();
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url, false), 1, kWaitMs);
    QVERIFY(allOnLibraryThread(f, "OnPushState"));
    // A fragment at each keyframe keeps reaching the file.
    const qint64 atLoss = fileSize(file);
    QVERIFY(atLoss > 0);
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(file) > atLoss, kWaitMs);
    const qint64 later = fileSize(file);
    QTRY_VERIFY_WITH_TIMEOUT(fileSize(file) > later, kWaitMs);
    f.engine->GetRecorder()->Stop();
    f.scene()->SetLive(false);

    const MediaSummary m = testsupport::inspectMedia(file, kFps);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QVERIFY2(m.videoFrames >= 2 * kFps, qPrintable(QString::number(m.videoFrames)));
    QString why;
    QVERIFY2(showsPicture(m.picture, &why), qPrintable(why));
}

void EnginePushTest::badAddressesRefusedAtOnce_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not rtmp") << QByteArray("http://127.0.0.1:1935/live/s") << "not an rtmp:// or rtmps:// address";
    QTest::newRow("2000 bytes") << QByteArray("rtmp://127.0.0.1:1935/live/").append(QByteArray(2000 - 27, 'a'))
                                << "longer than 1024 bytes";
    QTest::newRow("garbage") << QByteArray("\x7f\x01garbage #") << "contains a space or a control character";
    QTest::newRow("no host") << QByteArray("rtmp:///live/s") << "no host";
    QTest::newRow("bad port") << QByteArray("rtmp://127.0.0.1:99999/live/s") << "bad port";
}

void EnginePushTest::badAddressesRefusedAtOnce()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, reason);
    QCOMPARE(url.size() == 2000, QByteArray(QTest::currentDataTag()) == "2000 bytes");
    EngineFixture f;
    testsupport::DebugCapture capture;
    QCOMPARE(initScene(f), 0);
    QElapsedTimer clock;
    clock.start();
    f.scene()->SetPushUrl(url.constData(), 1, 0);
    // Long before a connection attempt could have timed out.
    QTRY_COMPARE_WITH_TIMEOUT(pushStates(f.listener, url.toStdString(), false), 1, 3000);
    QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(allOnLibraryThread(f, "OnPushState"));
    QVERIFY2(capture.contains(QStringLiteral("engine: push address refused (") + reason + QStringLiteral("): ")),
             qPrintable(capture.messages().join(QLatin1Char('\n'))));
    QVERIFY(castcore::control().waitIdle());
    QCOMPARE(f.listener.calls.count("OnPushState"), 1);
}

std::unique_ptr<QObject> makeEnginePushTest()
{
    return std::make_unique<EnginePushTest>();
}

#include "tst_enginepush.moc"
