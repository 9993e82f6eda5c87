// Opening the broadcast with the engine really pushing: lines that cannot
// be reached or refuse the stream are passed over one by one, and the
// session ends up live on the first line with a receiver behind it.

#include "ClosedPort.h"
#include "MediaInspector.h"
#include "RtmpReceiver.h"
#include "SessionFixture.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <memory>

using namespace sessiontest;

namespace {

// Generous for 16 tests on 8 busy cores under sanitizers; a connection
// attempt gives up after 10 s at the latest.
constexpr int kWaitMs = 30000;

// Answers every connection with a refusal that is no RTMP handshake, then
// closes it.
class RefusingServer
{
public:
    bool listen()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                ++m_accepted;
                s->write("HTTP/1.1 403 Forbidden\r\nConnection: close\r\n\r\n");
                s->disconnectFromHost();
                QObject::connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
        return m_server.listen(QHostAddress::LocalHost, 0);
    }
    std::string url() const { return "rtmp://127.0.0.1:" + std::to_string(m_server.serverPort()) + "/live/20001"; }
    int accepted() const { return m_accepted; }

private:
    QTcpServer m_server;
    int m_accepted = 0;
};

QStringList pushUrls()
{
    QStringList out;
    for (const mvplatform::CallRecord &r : castcore::control().log().of("SetPushUrl"))
        out << QString::fromStdString(r.args.at(0));
    return out;
}

} // namespace

class RealPushTest : public QObject
{
    Q_OBJECT

private slots:
    void fallsBackToTheLineThatReceives();
    void lineLostWhileRecordingKeepsOneFile();
};

void RealPushTest::fallsBackToTheLineThatReceives()
{
    SessionFixture f;
    QVERIFY(f.started);
    // The engine connects for real: no scripted push outcome.
    castcore::control().reset();

    const QString received = f.env.workPath() + QStringLiteral("/received.flv");
    testsupport::RtmpReceiver receiver(received);
    QVERIFY(receiver.start());
    QVERIFY(receiver.waitUntilListening(kWaitMs));
    RefusingServer refusing;
    QVERIFY(refusing.listen());
    const std::string closedLine =
        "rtmp://127.0.0.1:" + std::to_string(testsupport::closedLoopbackPort()) + "/live/20001";
    const std::string refusingLine = refusing.url();
    const std::string receivingLine = receiver.url();
    authport::World world = authport::control().world();
    QCOMPARE(world.rooms.size(), size_t(1));
    world.rooms.front().lines = {{closedLine, 1}, {refusingLine, 2}, {receivingLine, 3}};
    authport::control().setWorld(world);

    QVERIFY(f.login());
    QVERIFY(f.proxy->openLive(std::string()));
    QVERIFY(f.waitFor("liveStatus", 1, 3 * kWaitMs));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QCOMPARE(pushUrls(), (QStringList{QString::fromStdString(closedLine), QString::fromStdString(refusingLine),
                                      QString::fromStdString(receivingLine)}));
    QVERIFY(refusing.accepted() >= 1);
    QCOMPARE(authport::control().log().count("ConfirmLiveLine"), 1);
    QCOMPARE(authport::control().log().last("ConfirmLiveLine")->args.at(0), receivingLine);
    QVERIFY(f.proxy->isLiving());
    QTRY_COMPARE_WITH_TIMEOUT(f.callsOf("SetLive"), QStringList{"SetLive(true)"}, kWaitMs);

    // The receiver gets the stream until the broadcast ends: some seconds
    // of it (a black canvas is too small a stream to watch the file grow).
    QElapsedTimer live;
    live.start();
    QTRY_VERIFY_WITH_TIMEOUT(live.elapsed() >= 3000, kWaitMs);
    QVERIFY(receiver.isRunning());
    f.proxy->stopLive(false);
    QVERIFY(receiver.waitForEnd(kWaitMs));
    f.settle();
    QCOMPARE(f.recorder.count("liveStatus"), 1);
    QVERIFY(!f.proxy->isLiving());

    const testsupport::MediaSummary m = testsupport::inspectMedia(received, 0);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QCOMPARE(m.audioCodec, QStringLiteral("aac"));
    QCOMPARE(QSize(m.width, m.height), QSize(1280, 720));
    QVERIFY2(m.videoFrames >= 25, qPrintable(QString::number(m.videoFrames)));
}

void RealPushTest::lineLostWhileRecordingKeepsOneFile()
{
    SessionFixture f;
    QVERIFY(f.started);
    castcore::control().reset();
    testsupport::RtmpReceiver first(f.env.workPath() + QStringLiteral("/first.flv"));
    testsupport::RtmpReceiver second(f.env.workPath() + QStringLiteral("/second.flv"));
    QVERIFY(first.start());
    QVERIFY(second.start());
    QVERIFY(first.waitUntilListening(kWaitMs));
    QVERIFY(second.waitUntilListening(kWaitMs));
    authport::World world = authport::control().world();
    world.rooms.front().lines = {{first.url(), 1}, {second.url(), 2}};
    authport::control().setWorld(world);
    const QString folder = f.env.workPath() + QStringLiteral("/录像");
    QVERIFY(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/2026-1210-1700-00.mp4");

    QVERIFY(f.login());
    QSignalSpy failed(f.proxy.get(), SIGNAL(recordingFailed(QString)));
    QVERIFY(f.proxy->openLive(file.toStdString()));
    QVERIFY(f.waitFor("liveStatus", 1, 3 * kWaitMs));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QTRY_VERIFY_WITH_TIMEOUT(f.proxy->isRecording(), kWaitMs);
    QElapsedTimer span;
    span.start();
    QTRY_VERIFY_WITH_TIMEOUT(span.elapsed() >= 3000 && QFileInfo(file).size() > 0, kWaitMs);
    const qint64 before = QFileInfo(file).size();

    // Line 1's receiver goes away: the broadcast goes on over line 2.
    first.kill();
    QVERIFY(f.waitFor("liveStatus", 2, 3 * kWaitMs));
    QCOMPARE(f.recorder.last("liveStatus"), (QVariantList{QString(), 0}));
    QCOMPARE(authport::control().log().last("ConfirmLiveLine")->args.at(0), second.url());
    QTRY_COMPARE_WITH_TIMEOUT(f.callsOf("SetLive"), (QStringList{"SetLive(true)", "SetLive(true)"}), kWaitMs);
    QCOMPARE(castcore::control().log().count("Start"), 1);
    QVERIFY(f.proxy->isRecording());
    QCOMPARE(f.proxy->recordingPath(), file.toStdString());
    const qint64 atChange = span.elapsed();
    QTRY_VERIFY_WITH_TIMEOUT(span.elapsed() >= atChange + 3000, kWaitMs);
    QVERIFY(QFileInfo(file).size() > before);
    f.proxy->stopLive(false);
    QVERIFY(second.waitForEnd(kWaitMs));
    f.settle();
    QCOMPARE(failed.size(), 0);

    // One file, holding the pictures from before the change and after it.
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("2026-1210-1700-00.mp4")});
    const testsupport::MediaSummary m = testsupport::inspectMedia(file, 0);
    QVERIFY(m.opened);
    QCOMPARE(m.videoCodec, QStringLiteral("h264"));
    QVERIFY2(m.lastVideoS - m.firstVideoS >= 5.0,
             qPrintable(QStringLiteral("%1 s to %2 s").arg(m.firstVideoS).arg(m.lastVideoS)));
}

std::unique_ptr<QObject> makeRealPushTest()
{
    return std::make_unique<RealPushTest>();
}

#include "tst_realpush.moc"
