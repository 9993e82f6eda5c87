// Push addresses: which ones FFmpeg is given, how it is given them, and
// what the log may show of them (never the stream key or a token).

#include "PushAddress.h"

#include <QtTest>

#include <string>

using namespace castcore;

class TestPushAddress : public QObject
{
    Q_OBJECT
private slots:
    void acceptance_data();
    void acceptance();
    void ffmpegFormAndPort_data();
    void ffmpegFormAndPort();
    void maskedForTheLog_data();
    void maskedForTheLog();
};

void TestPushAddress::acceptance_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("why"); // empty: accepted

    const QByteArray base("rtmp://127.0.0.1:1935/live/");
    QTest::newRow("rtmp") << QByteArray("rtmp://127.0.0.1:1935/live/s") << QString();
    QTest::newRow("upper-case scheme") << QByteArray("RTMP://127.0.0.1:1935/live/s") << QString();
    QTest::newRow("mixed-case scheme") << QByteArray("Rtmp://live.example.com/live/s") << QString();
    QTest::newRow("rtmps") << QByteArray("rtmps://live.example.com:443/app/KEY") << QString();
    QTest::newRow("upper-case rtmps, no port") << QByteArray("RTMPS://live.example.com/app/KEY") << QString();
    QTest::newRow("IPv6, no port") << QByteArray("rtmp://[::1]/live/x") << QString();
    QTest::newRow("IPv6 with port") << QByteArray("rtmp://[2001:db8::7]:1935/live/x") << QString();
    QTest::newRow("user and password") << QByteArray("rtmp://user:pw@live.example.com/live/x") << QString();
    QTest::newRow("token in the query") << QByteArray("rtmp://h.example.com/live/KEY?token=a1&e=99") << QString();
    QTest::newRow("1024 bytes") << base + QByteArray(1024 - base.size(), 'k') << QString();

    QTest::newRow("1025 bytes") << base + QByteArray(1025 - base.size(), 'k') << "longer than 1024 bytes";
    QTest::newRow("space") << QByteArray("rtmp://127.0.0.1:1935/live/a b") << "contains a space or a control character";
    QTest::newRow("tab") << QByteArray("rtmp://127.0.0.1\t:1935/live/s") << "contains a space or a control character";
    QTest::newRow("line end") << QByteArray("rtmp://127.0.0.1:1935/live/a\nb") << "contains a space or a control character";
    QTest::newRow("DEL") << QByteArray("rtmp://127.0.0.1:1935/live/a\x7f") << "contains a space or a control character";
    QTest::newRow("http") << QByteArray("http://127.0.0.1:1935/live/s") << "not an rtmp:// or rtmps:// address";
    QTest::newRow("rtmpt") << QByteArray("rtmpt://127.0.0.1/live/s") << "not an rtmp:// or rtmps:// address";
    QTest::newRow("no scheme") << QByteArray("127.0.0.1:1935/live/s") << "not an rtmp:// or rtmps:// address";
    QTest::newRow("empty") << QByteArray() << "not an rtmp:// or rtmps:// address";
    QTest::newRow("no host") << QByteArray("rtmp:///live/s") << "no host";
    QTest::newRow("port only") << QByteArray("rtmp://:1935/live/s") << "no host";
    QTest::newRow("empty brackets") << QByteArray("rtmp://[]/live/s") << "no host";
    QTest::newRow("IPv6 without brackets") << QByteArray("rtmp://::1/live/s") << "no host";
    QTest::newRow("bracket left open") << QByteArray("rtmp://[::1/live/s") << "bad host";
    QTest::newRow("text after the bracket") << QByteArray("rtmp://[::1]x/live/s") << "bad host";
    QTest::newRow("backslashes after the host") << QByteArray("rtmp://host\\live\\KEY") << "bad host";
    QTest::newRow("comma in the host") << QByteArray("rtmp://host,KEY/live") << "bad host";
    QTest::newRow("letter after the bracket") << QByteArray("rtmp://[::1x]/live/s") << "bad host";
    QTest::newRow("one slash after the scheme")
        << QByteArray("rtmp:/host/live/KEY?next=rtmp://x") << "not an rtmp:// or rtmps:// address";
    QTest::newRow("port out of range") << QByteArray("rtmp://127.0.0.1:99999/live/s") << "bad port";
    QTest::newRow("port 0") << QByteArray("rtmp://127.0.0.1:0/live/s") << "bad port";
    QTest::newRow("empty port") << QByteArray("rtmp://127.0.0.1:/live/s") << "bad port";
    QTest::newRow("two ports") << QByteArray("rtmp://127.0.0.1:1:2/live/s") << "bad port";
    QTest::newRow("letters in the port") << QByteArray("rtmp://127.0.0.1:19x5/live/s") << "bad port";
    QTest::newRow("IPv6, bad port") << QByteArray("rtmp://[::1]:70000/live/s") << "bad port";
}

void TestPushAddress::acceptance()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, why);
    std::string reason;
    const bool accepted = PushAddress::acceptable(url.toStdString(), &reason);
    QCOMPARE(QString::fromStdString(reason), why);
    QCOMPARE(accepted, why.isEmpty());
}

void TestPushAddress::ffmpegFormAndPort_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("ffmpeg");
    QTest::addColumn<int>("port");
    QTest::newRow("rtmp, its port") << "rtmp://h.example.com/live/KEY" << "rtmp://h.example.com/live/KEY" << 1935;
    QTest::newRow("upper case") << "RTMP://H.example.com/Live/KEY" << "rtmp://H.example.com/Live/KEY" << 1935;
    QTest::newRow("rtmps, its port") << "RtmpS://h.example.com/app/KEY" << "rtmps://h.example.com/app/KEY" << 443;
    QTest::newRow("port given") << "rtmp://h.example.com:2000/live/s" << "rtmp://h.example.com:2000/live/s" << 2000;
    QTest::newRow("rtmps, port given") << "rtmps://[::1]:8443/app/s" << "rtmps://[::1]:8443/app/s" << 8443;
    QTest::newRow("IPv6, no port") << "rtmp://[::1]/live/s" << "rtmp://[::1]/live/s" << 1935;
    QTest::newRow("user before the host") << "rtmp://u:9@h.example.com/live/s" << "rtmp://u:9@h.example.com/live/s"
                                          << 1935;
}

void TestPushAddress::ffmpegFormAndPort()
{
    QFETCH(QString, url);
    QFETCH(QString, ffmpeg);
    QFETCH(int, port);
    QCOMPARE(QString::fromStdString(PushAddress::forFfmpeg(url.toStdString())), ffmpeg);
    QCOMPARE(PushAddress::port(url.toStdString()), port);
}

void TestPushAddress::maskedForTheLog_data()
{
    QTest::addColumn<QByteArray>("url");
    QTest::addColumn<QString>("shown");
    QTest::newRow("key and token") << QByteArray("rtmp://host:1935/live/KEY?token=T0K") << "rtmp://host:1935/live/***";
    QTest::newRow("key, no port") << QByteArray("rtmp://host/live/KEY") << "rtmp://host/live/***";
    QTest::newRow("scheme as written") << QByteArray("RTMPS://Host.example.com:443/app/KEY")
                                       << "RTMPS://Host.example.com:443/app/***";
    QTest::newRow("IPv6") << QByteArray("rtmp://[2001:db8::7]:1935/live/KEY") << "rtmp://[2001:db8::7]:1935/live/***";
    QTest::newRow("IPv6, no port") << QByteArray("rtmp://[::1]/live/KEY") << "rtmp://[::1]/live/***";
    QTest::newRow("user and password") << QByteArray("rtmp://user:PW@host/live/KEY") << "rtmp://***@host/live/***";
    QTest::newRow("token after the application") << QByteArray("rtmp://host/live?token=T0K") << "rtmp://host/live?***";
    QTest::newRow("token after the host") << QByteArray("rtmp://host:1935?token=T0K") << "rtmp://host:1935?***";
    QTest::newRow("key in a fragment") << QByteArray("rtmp://host/live#KEY") << "rtmp://host/live#***";
    QTest::newRow("deeper path") << QByteArray("rtmp://host/live/KEY/more") << "rtmp://host/live/***";
    QTest::newRow("empty key") << QByteArray("rtmp://host/live/") << "rtmp://host/live/***";
    QTest::newRow("application only") << QByteArray("rtmp://host/live") << "rtmp://host/live";
    QTest::newRow("host only") << QByteArray("rtmp://host:1935") << "rtmp://host:1935";
    // Refused addresses are logged too.
    QTest::newRow("space in the key") << QByteArray("rtmp://127.0.0.1:1935/live/KE Y") << "rtmp://127.0.0.1:1935/live/***";
    QTest::newRow("line end in the application") << QByteArray("rtmp://host/li\nve/KEY") << "rtmp://host/li?ve/***";
    QTest::newRow("line end in the host") << QByteArray("rtmp://ho\nst/live/KEY") << "***";
    QTest::newRow("backslashes after the host") << QByteArray("rtmp://host\\live\\KEY") << "***";
    QTest::newRow("comma in the host") << QByteArray("rtmp://host,KEY/live") << "***";
    QTest::newRow("one slash after the scheme") << QByteArray("rtmp:/host/live/KEY?next=rtmp://x") << "***";
    QTest::newRow("key in the port") << QByteArray("rtmp://host:KEY/live") << "rtmp://host:***/live";
    QTest::newRow("backslashes after the port") << QByteArray("rtmp://host:1935\\live\\KEY") << "rtmp://host:***";
    QTest::newRow("port out of range") << QByteArray("rtmp://host:99999/live/KEY") << "rtmp://host:99999/live/***";
    QTest::newRow("other scheme") << QByteArray("http://host/live/KEY") << "http://host/live/***";
    QTest::newRow("no scheme") << QByteArray("host/live/KEY") << "***";
    QTest::newRow("bracket left open") << QByteArray("rtmp://[::1/live/KEY") << "***";
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("long host") << QByteArray("rtmp://").append(QByteArray(300, 'h')).append("/live/KEY")
                               << QStringLiteral("rtmp://") + QString(193, QLatin1Char('h')) + QStringLiteral("...");
}

void TestPushAddress::maskedForTheLog()
{
    QFETCH(QByteArray, url);
    QFETCH(QString, shown);
    QCOMPARE(QString::fromStdString(PushAddress::masked(url.toStdString())), shown);
}

std::unique_ptr<QObject> makePushAddressTest()
{
    return std::make_unique<TestPushAddress>();
}

#include "tst_pushaddress.moc"
