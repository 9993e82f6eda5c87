#include "HttpStub.h"
#include "SttAllocTracker.h"
#include "SttDownload.h"
#include "SttIpAddress.h"
#include "TempEnvironment.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::TempEnvironment;

namespace {

// Runs the blocking download on a thread of its own while this thread keeps
// serving the stub.
int download(const QString &url, const QString &path, int attempts, long follow, long timeout = 0)
{
    std::atomic<bool> done{false};
    int result = -1000;
    const QByteArray url8 = url.toUtf8();
    std::thread worker([&] {
        result = DownloadUrlToFile(url8.constData(), reinterpret_cast<const char16_t *>(path.utf16()),
                                   timeout, attempts, follow);
        done = true;
    });
    QDeadlineTimer deadline(60000);
    while (!done && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    worker.join();
    return result;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray content()
{
    QByteArray b(300 * 1024, '\0');
    quint32 x = 12345;
    for (int i = 0; i < b.size(); ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 24);
    }
    return b;
}

} // namespace

class TestDownload : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fetchesTheWholeFile();
    void redirects_data();
    void redirects();
    void failuresReturnTheLibcurlCode_data();
    void failuresReturnTheLibcurlCode();
    void zeroAttemptsMakeNoRequest();
    void retryLeavesOnlyTheGoodBytes_data();
    void retryLeavesOnlyTheGoodBytes();
    void unverifiedTlsIsRefused();
    void unopenableFile();

    void ipToString_data();
    void ipToString();
    void ipFromString_data();
    void ipFromString();
    void allocationRecords();

private:
    TempEnvironment *m_env = nullptr;
    QString m_file;
};

void TestDownload::init()
{
    m_env = new TempEnvironment;
    QVERIFY(m_env->isValid());
    m_file = m_env->workPath() + QStringLiteral("/下载.bin");
}

void TestDownload::cleanup()
{
    delete m_env;
    m_env = nullptr;
}

// Runs first: libcurl comes with the first download, not with the program.
void TestDownload::fetchesTheWholeFile()
{
    auto curlMapped = [] {
        QFile maps(QStringLiteral("/proc/self/maps"));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libcurl");
    };
    QVERIFY(!curlMapped());
    HttpStub stub;
    stub.route("GET", "/file", HttpResponse::text(content()));
    {
        QFile old(m_file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("bytes from before");
    }
    QCOMPARE(download(stub.baseUrl() + "/file", m_file, 3, 0), 0);
    QVERIFY(curlMapped());
    QCOMPARE(readFile(m_file), content());
    QCOMPARE(stub.requestCount(), 1);
}

void TestDownload::redirects_data()
{
    QTest::addColumn<long>("follow");
    QTest::addColumn<int>("hops");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("requests");
    QTest::newRow("followed when asked") << 1L << 1 << 0 << QByteArray("the new place") << 2;
    QTest::newRow("ten followed") << 1L << 10 << 0 << QByteArray("the new place") << 11;
    // CURLE_TOO_MANY_REDIRECTS; the earlier copy stays.
    QTest::newRow("the eleventh refused") << 1L << 11 << 47 << QByteArray("earlier copy") << 22;
    // A redirect not followed is no file: CURLE_HTTP_RETURNED_ERROR, once per attempt.
    QTest::newRow("not followed") << 0L << 1 << 22 << QByteArray("earlier copy") << 2;
}

void TestDownload::redirects()
{
    QFETCH(long, follow);
    QFETCH(int, hops);
    QFETCH(int, code);
    QFETCH(QByteArray, file);
    QFETCH(int, requests);
    HttpStub stub;
    // /r<n> moves to /r<n-1>; /r0 is the file.
    for (int n = 1; n <= hops; ++n) {
        HttpResponse moved = HttpResponse::redirect("/r" + QByteArray::number(n - 1));
        moved.body = "moved";
        stub.route("GET", QStringLiteral("/r%1").arg(n), moved);
    }
    stub.route("GET", "/r0", HttpResponse::text("the new place"));
    {
        QFile old(m_file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier copy");
    }
    QCOMPARE(download(stub.baseUrl() + QStringLiteral("/r%1").arg(hops), m_file, 2, follow), code);
    QCOMPARE(readFile(m_file), file);
    QCOMPARE(stub.requestCount(), requests);
}

void TestDownload::failuresReturnTheLibcurlCode_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("requests");
    QTest::newRow("server error, 500") << "/broken" << false << 22 << 3;
    QTest::newRow("not found, 404") << "/nothing" << false << 22 << 3;
    QTest::newRow("nothing listens") << "/file" << true << 7 << 0;
}

void TestDownload::failuresReturnTheLibcurlCode()
{
    QFETCH(QString, path);
    QFETCH(bool, refused);
    QFETCH(int, code);
    QFETCH(int, requests);
    HttpStub stub;
    stub.route("GET", "/broken", HttpResponse::text("error page", 500));
    QString base = stub.baseUrl();
    if (refused) {
        // A port that was free a moment ago.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        base = QStringLiteral("http://127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
    }
    {
        QFile old(m_file);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier copy");
    }
    QCOMPARE(download(base + path, m_file, 3, 1), code);
    QCOMPARE(stub.requestCount(), requests);
    // The good earlier copy is not given up for a failed download.
    QCOMPARE(readFile(m_file), QByteArray("earlier copy"));
}

void TestDownload::zeroAttemptsMakeNoRequest()
{
    HttpStub stub;
    stub.route("GET", "/file", HttpResponse::text("data"));
    QCOMPARE(download(stub.baseUrl() + "/file", m_file, 0, 0), 52);
    QCOMPARE(stub.requestCount(), 0);
    QVERIFY(!QFile::exists(m_file));
}

void TestDownload::retryLeavesOnlyTheGoodBytes_data()
{
    QTest::addColumn<int>("attempts");
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("second attempt succeeds") << 2 << 0 << content();
    // Nothing was there, and nothing is left.
    QTest::newRow("only a failed attempt") << 1 << 18 << QByteArray("<missing>");
}

void TestDownload::retryLeavesOnlyTheGoodBytes()
{
    QFETCH(int, attempts);
    QFETCH(int, code);
    QFETCH(QByteArray, file);
    HttpStub stub;
    int served = 0;
    // The first answer promises the whole file but breaks off after 1000 bytes.
    stub.route("GET", "/file", [&served](const testsupport::HttpRequest &) {
        if (served++ > 0)
            return HttpResponse::text(content());
        HttpResponse partial = HttpResponse::text(content().left(1000));
        partial.header("Content-Length", QByteArray::number(content().size()));
        return partial;
    });
    connect(&stub, &HttpStub::requestReceived, this, [&stub, &served] {
        if (served != 1)
            return;
        for (QTcpSocket *socket : stub.findChildren<QTcpSocket *>()) {
            socket->flush();
            socket->disconnectFromHost();
        }
    });
    QCOMPARE(download(stub.baseUrl() + "/file", m_file, attempts, 0), code);
    QCOMPARE(stub.requestCount(), attempts);
    QCOMPARE(readFile(m_file).size(), file.size());
    QCOMPARE(readFile(m_file), file);
}

void TestDownload::unverifiedTlsIsRefused()
{
    HttpStub stub(HttpStub::Tls);
    stub.route("GET", "/file", HttpResponse::text("secret"));
    // CURLE_PEER_FAILED_VERIFICATION: the self-signed certificate is not trusted.
    QCOMPARE(download(stub.baseUrl() + "/file", m_file, 2, 0), 60);
    QCOMPARE(stub.requestCount(), 0);
    QVERIFY(!QFile::exists(m_file));
}

void TestDownload::unopenableFile()
{
    HttpStub stub;
    stub.route("GET", "/file", HttpResponse::text("data"));
    QCOMPARE(download(stub.baseUrl() + "/file", m_env->workPath() + "/no/such/dir/f.bin", 1, 0), -1);
    QCOMPARE(stub.requestCount(), 0);
    QCOMPARE(DownloadUrlToFile("http://127.0.0.1:9/", nullptr, 0, 1, 0), -1);
}

void TestDownload::ipToString_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("private") << 0xC0A80001u << QByteArray("192.168.0.1");
    QTest::newRow("zero") << 0u << QByteArray("0.0.0.0");
    QTest::newRow("all ones") << 0xFFFFFFFFu << QByteArray("255.255.255.255");
    QTest::newRow("loopback") << 0x7F000001u << QByteArray("127.0.0.1");
}

void TestDownload::ipToString()
{
    QFETCH(quint32, address);
    QFETCH(QByteArray, text);
    char out[32];
    std::memset(out, 'x', sizeof out);
    QCOMPARE(SttIpToString(address, out), out);
    QCOMPARE(QByteArray(out), text);
    QVERIFY(!SttIpToString(address, nullptr));
}

void TestDownload::ipFromString_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("address");
    QTest::newRow("plain") << QByteArray("192.168.0.1") << 0xC0A80001u;
    QTest::newRow("wildcard") << QByteArray("10.*.0.1") << 0x0AFF0001u;
    QTest::newRow("two parts") << QByteArray("10.5") << 0x0A000000u;
    QTest::newRow("three parts") << QByteArray("1.2.3") << 0x01020000u;
    QTest::newRow("one part") << QByteArray("77") << 0u;
    QTest::newRow("empty") << QByteArray("") << 0u;
    QTest::newRow("trailing dot") << QByteArray("1.2.3.") << 0x01020300u;
    QTest::newRow("spill into the byte above") << QByteArray("1.2.3.256") << 0x01020300u;
    QTest::newRow("spill into a zero byte") << QByteArray("1.2.0.300") << 0x0102012Cu;
    QTest::newRow("words") << QByteArray("a.b.c.d") << 0u;
    QTest::newRow("fifth part ignored by atoi") << QByteArray("1.2.3.4.5") << 0x01020304u;
    QTest::newRow("cut at 63") << QByteArray(57, '0') + "1.2.3.4" << 0x01020300u;
}

void TestDownload::ipFromString()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, address);
    QCOMPARE(SttIpFromString(text.constData()), address);
    QCOMPARE(SttIpFromString(nullptr), 0u);
}

void TestDownload::allocationRecords()
{
    CSttAllocTracker tracker;
    int a = 0, b = 0;
    tracker.Track("alpha.cpp", 10, &a);
    tracker.Track(QByteArray(600, 'f').constData(), 20, &b);
    tracker.Track("alpha.cpp", 11, &a);
    QCOMPARE(tracker.Count(), std::size_t(2));

    std::FILE *out = std::tmpfile();
    QVERIFY(out);
    tracker.Print(out);
    std::rewind(out);
    char buffer[4096] = {};
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    char expectedA[128], expectedB[700];
    std::snprintf(expectedA, sizeof expectedA, "%p -  alpha.cpp, 11 \r\n", static_cast<void *>(&a));
    std::snprintf(expectedB, sizeof expectedB, "%p -  %s, 20 \r\n", static_cast<void *>(&b),
                  QByteArray(511, 'f').constData());
    const QByteArray printed(buffer, int(n));
    QVERIFY(printed.contains(expectedA));
    QVERIFY(printed.contains(expectedB));
    QCOMPARE(printed.size(), int(std::strlen(expectedA) + std::strlen(expectedB)));

    tracker.Untrack(&a);
    tracker.Untrack(&a);
    tracker.Untrack(&b);
    QCOMPARE(tracker.Count(), std::size_t(0));

    // The process-wide record.
    const std::size_t before = CSttAllocTracker::Instance().Count();
    SttTrackAlloc(__FILE__, __LINE__, &a);
    QCOMPARE(CSttAllocTracker::Instance().Count(), before + 1);
    SttUntrackAlloc(&a);
    QCOMPARE(CSttAllocTracker::Instance().Count(), before);
}

QTEST_GUILESS_MAIN(TestDownload)
#include "tst_download.moc"
