// Form posts with the server-time header, the server-time offset and the
// analytics records, against loopback HTTP and HTTPS stubs.
//
// The server-time offset is process-wide and never reset, so the functions
// run in their declared order: first everything while the offset is unknown,
// then the answer that fixes it.

#include "ClosedPort.h"
#include "DebugCapture.h"
#include "FixedWebSources.h"
#include "HttpStub.h"
#include "LogCapture.h"
#include "MorvaPointing.h"
#include "TempEnvironment.h"
#include "WebRequester.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTextCodec>
#include <QtTest>

#include <memory>

using testsupport::HttpRequest;
using testsupport::HttpResponse;
using testsupport::HttpStub;
using testsupport::ScopedHosts;
using webtest::itf;
using webtest::kMac;
using webtest::kNowMs;
using webtest::kNowSecs;

namespace {

using HeaderPairs = QList<QPair<QString, QString>>;

// The names of the headers in the order sent, restricted to `names`.
QList<QByteArray> orderOf(const HttpRequest &r, const QList<QByteArray> &names)
{
    QList<QByteArray> out;
    for (const QByteArray &n : r.headerNames()) {
        for (const QByteArray &want : names) {
            if (n.compare(want, Qt::CaseInsensitive) == 0)
                out << want;
        }
    }
    return out;
}

int headerCount(const HttpRequest &r, const QByteArray &name)
{
    int n = 0;
    for (const QByteArray &h : r.headerNames())
        n += h.compare(name, Qt::CaseInsensitive) == 0 ? 1 : 0;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(HeaderPairs)

class TestWebRequest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // while the server time is unknown
    void postHeadersInOrder_data();
    void postHeadersInOrder();
    void everyListenerHearsEveryReply();
    void headerBreakingTheLineRefused_data();
    void headerBreakingTheLineRefused();
    void timeAnswerIgnored_data();
    void timeAnswerIgnored();
    // the answer that fixes the offset
    void timeAnswerSetsOffset();

    // analytics
    void recordFields_data();
    void recordFields();
    void actionsOutsideTableNeverSent_data();
    void actionsOutsideTableNeverSent();
    void pointingReply_data();
    void pointingReply();
    void deviceIdInRecord_data();
    void deviceIdInRecord();

private:
    HttpRequest postAndWait(const QString &path, const HeaderPairs &headers, const QString &body);
    // Sends one report and returns the request the analytics stub received.
    HttpRequest reportAndWait(MorvaPointing &pointing, int action, int value, int uid, int rid);
    static QJsonObject decodeRecord(const QByteArray &body);

    std::unique_ptr<testsupport::TempEnvironment> m_env;
    std::unique_ptr<HttpStub> m_web;       // web API, plain HTTP
    std::unique_ptr<HttpStub> m_analytics; // analytics, HTTPS
    std::unique_ptr<ScopedHosts> m_hosts;
    QList<QByteArray> m_timeAnswers;       // answered in turn; then "error 1"
};

void TestWebRequest::initTestCase()
{
    // One temporary home for the whole run: the log keeps its folder.
    qRegisterMetaType<QNetworkReply *>();
    m_env.reset(new testsupport::TempEnvironment);
    QVERIFY(m_env->isValid());

    HttpStub::trustTestCertificate();
    m_web.reset(new HttpStub);
    m_analytics.reset(new HttpStub(HttpStub::Tls));
    QVERIFY(m_web->isListening());
    QVERIFY(m_analytics->isListening());
    m_hosts.reset(new ScopedHosts(QJsonObject{{"webApi", m_web->hostPort()},
                                              {"analytics", m_analytics->hostPort()}}));

    m_web->route("GET", "/H5nc/src/timestamp", [this](const HttpRequest &) {
        if (m_timeAnswers.isEmpty())
            return HttpResponse::json(R"({"error":1,"data":"not yet"})");
        return HttpResponse::json(m_timeAnswers.takeFirst());
    });
    m_web->route("POST", "/musicnc/anchor/getOpenStatus", [](const HttpRequest &r) {
        return HttpResponse::json(R"({"error":0,"data":{"status":1},"echo":")" + r.body.toBase64() + "\"}");
    });
    m_analytics->route("POST", "/deliver/tide2", HttpResponse::json(R"({"error":0})"));
}

void TestWebRequest::cleanupTestCase()
{
    m_hosts.reset();
    m_analytics.reset();
    m_web.reset();
    m_env.reset();
}

void TestWebRequest::init()
{
    webtest::fixWebSources();
    m_web->clearRequests();
    m_analytics->clearRequests();
}

void TestWebRequest::cleanup()
{
    // No time query may still be on its way into the next function.
    QTRY_COMPARE(ServerTimeManager::pendingQueries(), 0);
    webtest::restoreWebSources();
}

HttpRequest TestWebRequest::postAndWait(const QString &path, const HeaderPairs &headers, const QString &body)
{
    QSignalSpy spy(WebRequester::instance(), &WebRequester::signal_notifyWebResponse);
    const int before = m_web->requestsTo(path).size();
    WebRequester::instance()->postRequest(m_web->baseUrl() + path, headers, body);
    if (!spy.wait(5000))
        return HttpRequest();
    const QList<HttpRequest> seen = m_web->requestsTo(path);
    return seen.size() > before ? seen.last() : HttpRequest();
}

// ---- web requests and server time ----------------------------------------

void TestWebRequest::postHeadersInOrder_data()
{
    QTest::addColumn<HeaderPairs>("callerHeaders");
    QTest::addColumn<QList<QByteArray>>("order");
    QTest::addColumn<QByteArray>("time");

    const QByteArray local = QByteArray::number(kNowSecs);
    QTest::newRow("no caller headers") << HeaderPairs{}
                                       << QList<QByteArray>{"Content-Type", "time", "aid"} << local;
    QTest::newRow("caller pairs follow in order")
        << HeaderPairs{{"auth", "tok-1"}, {"X-Extra", "2"}}
        << QList<QByteArray>{"Content-Type", "time", "aid", "auth", "X-Extra"} << local;
    QTest::newRow("caller time replaces the default")
        << HeaderPairs{{"auth", "tok-1"}, {"time", "42"}}
        << QList<QByteArray>{"Content-Type", "aid", "auth", "time"} << QByteArray("42");
}

void TestWebRequest::postHeadersInOrder()
{
    QFETCH(HeaderPairs, callerHeaders);
    QFETCH(QList<QByteArray>, order);
    QFETCH(QByteArray, time);

    const int timeQueries = m_web->requestsTo("/H5nc/src/timestamp").size();
    const QString body = QStringLiteral("rid=5&token=a b&nick=张三");
    const HttpRequest r = postAndWait("/musicnc/anchor/getOpenStatus", callerHeaders, body);

    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(orderOf(r, {"Content-Type", "time", "aid", "auth", "X-Extra"}), order);
    QCOMPARE(r.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QCOMPARE(headerCount(r, "time"), 1);
    QCOMPARE(r.header("time"), time);
    QCOMPARE(r.header("aid"), QByteArray("mvtool"));
    for (const auto &h : callerHeaders)
        QCOMPARE(r.header(h.first.toUtf8()), h.second.toUtf8());
    QCOMPARE(r.body, body.toUtf8());

    // While the server time is unknown every post asks for it again.
    QTRY_COMPARE(ServerTimeManager::pendingQueries(), 0);
    QCOMPARE(m_web->requestsTo("/H5nc/src/timestamp").size(), timeQueries + 1);
}

void TestWebRequest::everyListenerHearsEveryReply()
{
    QSignalSpy first(WebRequester::instance(), &WebRequester::signal_notifyWebResponse);
    QSignalSpy second(WebRequester::instance(), &WebRequester::signal_notifyWebResponse);

    const QString okUrl = m_web->baseUrl() + "/musicnc/anchor/getOpenStatus";
    // Nothing listens there: the post fails at once and is broadcast all the
    // same, with an empty body.
    const QString failUrl = "http://" + testsupport::closedLoopbackHost() + "/musicnc/anchor/getOpenStatus";
    WebRequester::instance()->postRequest(okUrl, {}, "rid=1");
    WebRequester::instance()->postRequest(failUrl, {}, "rid=2");
    QTRY_COMPARE(first.count(), 2);
    QCOMPARE(second.count(), 2);

    QMap<QString, QByteArray> replies;
    for (const QList<QVariant> &args : first)
        replies.insert(args.at(0).toString(), args.at(1).toByteArray());
    QCOMPARE(replies.size(), 2);
    QVERIFY(replies.contains(okUrl));
    QVERIFY(replies.contains(failUrl));
    QVERIFY(replies.value(okUrl).startsWith(R"({"error":0,"data":{"status":1})"));
    QCOMPARE(replies.value(failUrl), QByteArray());
    for (int i = 0; i < 2; ++i)
        QCOMPARE(second.at(i), first.at(i));
}

void TestWebRequest::headerBreakingTheLineRefused_data()
{
    QTest::addColumn<HeaderPairs>("callerHeaders");
    QTest::addColumn<QString>("loggedName");

    QTest::newRow("CR LF in the value") << HeaderPairs{{"auth", "tok-secret\r\nX-Injected: 1"}} << "auth";
    QTest::newRow("LF in the value") << HeaderPairs{{"auth", "tok-secret\nX-Injected: 1"}} << "auth";
    QTest::newRow("CR in the value") << HeaderPairs{{"auth", "tok-secret\rX-Injected: 1"}} << "auth";
    QTest::newRow("NUL in the value") << HeaderPairs{{"auth", QString::fromLatin1("tok-secret\0x", 12)}} << "auth";
    QTest::newRow("CR LF in the name") << HeaderPairs{{"X-Injected: 1\r\nauth", "tok-secret"}}
                                       << "X-Injected%3A%201%0D%0Aauth";
    QTest::newRow("after a good pair") << HeaderPairs{{"X-Extra", "2"}, {"auth", "tok-secret\r\nX-Injected: 1"}}
                                       << "auth";
}

void TestWebRequest::headerBreakingTheLineRefused()
{
    QFETCH(HeaderPairs, callerHeaders);
    QFETCH(QString, loggedName);

    const QString path = QStringLiteral("/musicnc/anchor/getOpenStatus");
    const QString url = m_web->baseUrl() + path;
    QSignalSpy spy(WebRequester::instance(), &WebRequester::signal_notifyWebResponse);
    WebRequester::instance()->postRequest(url, callerHeaders, "rid=1&token=tok-secret");

    // Heard as a failed request, and nothing reached the server.
    QVERIFY(spy.wait(5000));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first(), (QList<QVariant>{url, QByteArray()}));
    QCOMPARE(m_web->requestsTo(path).size(), 0);

    const QString line = QStringLiteral("WebRequester: request to %1 refused: header \"%2\" holds a line break or NUL")
                             .arg(url, loggedName);
    QVERIFY2(testsupport::LogCapture::texts().contains(line), qPrintable(line));
    QVERIFY(!testsupport::LogCapture::contains(QStringLiteral("tok-secret")));

    // The requester itself still posts.
    const HttpRequest r = postAndWait(path, {{"auth", "tok-1"}}, "rid=2");
    QCOMPARE(r.header("auth"), QByteArray("tok-1"));
    QVERIFY(!r.hasHeader("X-Injected"));
}

void TestWebRequest::timeAnswerIgnored_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("not JSON") << QByteArray("<html>502</html>");
    QTest::newRow("array") << QByteArray("[0,1500000010]");
    QTest::newRow("no error") << QByteArray(R"({"data":1500000010})");
    QTest::newRow("error as text") << QByteArray(R"({"error":"0","data":1500000010})");
    QTest::newRow("negative error") << QByteArray(R"({"error":-1,"data":1500000010})");
    QTest::newRow("error with text") << QByteArray(R"({"error":1,"data":"busy"})");
    QTest::newRow("negative data") << QByteArray(R"({"error":0,"data":-1})");
    QTest::newRow("data as text") << QByteArray(R"({"error":0,"data":"1500000010"})");
}

void TestWebRequest::timeAnswerIgnored()
{
    QFETCH(QByteArray, answer);
    m_timeAnswers = {answer};

    QCOMPARE(ServerTimeManager::GetServerTime(), kNowSecs);
    QTRY_COMPARE(ServerTimeManager::pendingQueries(), 0);
    QCOMPARE(m_web->requestsTo("/H5nc/src/timestamp").size(), 1);
    QVERIFY(m_timeAnswers.isEmpty());

    // Still unknown: the next call answers the local time and asks again.
    QCOMPARE(ServerTimeManager::GetServerTime(), kNowSecs);
    QTRY_COMPARE(ServerTimeManager::pendingQueries(), 0);
    QCOMPARE(m_web->requestsTo("/H5nc/src/timestamp").size(), 2);
}

void TestWebRequest::timeAnswerSetsOffset()
{
    m_timeAnswers = {R"({"error":0,"data":1500000010})"};
    QCOMPARE(ServerTimeManager::GetServerTime(), kNowSecs);
    QTRY_COMPARE(ServerTimeManager::pendingQueries(), 0);

    QCOMPARE(ServerTimeManager::GetServerTime(), kNowSecs + 10);
    WebClock::setSource([] { return kNowMs + 60000; });
    QCOMPARE(ServerTimeManager::GetServerTime(), kNowSecs + 70);
    QCOMPARE(ServerTimeManager::pendingQueries(), 0);

    // Posts now carry the server's time, and ask for it no more.
    const HttpRequest r = postAndWait("/musicnc/anchor/getOpenStatus", {{"auth", "t"}}, "rid=1&token=t");
    QCOMPARE(r.header("time"), QByteArray::number(kNowSecs + 70));
    QCOMPARE(m_web->requestsTo("/H5nc/src/timestamp").size(), 1);
}

// ---- analytics -----------------------------------------------------------

QJsonObject TestWebRequest::decodeRecord(const QByteArray &body)
{
    if (!body.startsWith("multi=") || !body.endsWith("&v=1.0"))
        return QJsonObject();
    const QByteArray b64 = body.mid(6, body.size() - 6 - 6);
    const QByteArray json = QByteArray::fromBase64(b64, QByteArray::AbortOnBase64DecodingErrors);
    if (json.toBase64() != b64) // standard alphabet with padding, not URL-encoded
        return QJsonObject();
    return QJsonDocument::fromJson(json).object();
}

HttpRequest TestWebRequest::reportAndWait(MorvaPointing &pointing, int action, int value, int uid, int rid)
{
    const int before = m_analytics->requestCount();
    pointing.Report(action, value, uid, rid);
    if (!QTest::qWaitFor([&] { return m_analytics->requestCount() == before + 1; }, 5000))
        return HttpRequest();
    // The reporter's network manager, made for its first record.
    auto *manager = pointing.findChild<QNetworkAccessManager *>();
    if (!manager)
        return HttpRequest();
    // Its reply is handled (the result line) and then let go.
    if (!QTest::qWaitFor([&] { return manager->findChildren<QNetworkReply *>().isEmpty(); }, 5000))
        return HttpRequest();
    return m_analytics->requests().last();
}

void TestWebRequest::recordFields_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("ac");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("extra");

    QTest::newRow("start page") << 0 << -1 << "init_page_home" << "page_home" << QByteArray("{}");
    QTest::newRow("filter without value") << 2 << -1 << "click_home_filter" << "page_home" << QByteArray("{}");
    QTest::newRow("filter 5") << 2 << 5 << "click_home_filter" << "page_home" << QByteArray(R"({"filt_id":5})");
    QTest::newRow("record box off") << 8 << 0 << "click_home_record" << "page_home" << QByteArray(R"({"stat":0})");
    QTest::newRow("value without extra key") << 1 << 7 << "click_home_imgadj" << "page_home" << QByteArray("{}");
    QTest::newRow("picture added") << 15 << -1 << "click_pic_addpic" << "page_pic" << QByteArray("{}");
    QTest::newRow("sticker 3") << 16 << 3 << "click_pic_sticker" << "page_pic" << QByteArray(R"({"stic_id":3})");
    QTest::newRow("subtitle 6") << 17 << 6 << "click_subtitle_sel" << "page_subtitle"
                                << QByteArray(R"({"format_id":6})");
    QTest::newRow("manual capture") << 20 << -1 << "click_stypelive_manual" << "page_stypelive" << QByteArray("{}");
    QTest::newRow("last in table") << 22 << 9 << "click_home_musplay" << "page_home" << QByteArray(R"({"song_id":9})");
}

void TestWebRequest::recordFields()
{
    QFETCH(int, action);
    QFETCH(int, value);
    QFETCH(QString, ac);
    QFETCH(QString, page);
    QFETCH(QByteArray, extra);

    MorvaPointing pointing("2.3.0.0");
    // No network stack until there is a record to send.
    QVERIFY(!pointing.findChild<QNetworkAccessManager *>());
    testsupport::DebugCapture debug;
    const HttpRequest r = reportAndWait(pointing, action, value, 77, 88);
    QCOMPARE(r.method, QByteArray("POST"));
    QCOMPARE(r.path, QString("/deliver/tide2"));
    QVERIFY(!r.hasHeader("time"));
    QVERIFY(!r.hasHeader("aid"));

    const QJsonObject rec = decodeRecord(r.body);
    QVERIFY2(!rec.isEmpty(), r.body.constData());
    QCOMPARE(rec.keys(), (QStringList{"ac", "av", "ct", "d", "dur", "e", "i", "oct", "pc", "pro", "pt", "rid", "rpc"}));
    QCOMPARE(rec.value("i"), QJsonValue(77));
    QCOMPARE(rec.value("rid"), QJsonValue(88));
    QCOMPARE(rec.value("d").toString(), kMac);
    QCOMPARE(rec.value("pc").toString(), page);
    QCOMPARE(rec.value("rpc").toString(), page);
    QCOMPARE(rec.value("ct").toString(), QString("web_xclive"));
    QCOMPARE(rec.value("pro").toString(), QString("host_site"));
    QCOMPARE(rec.value("av").toString(), QString("2.3.0.0"));
    QCOMPARE(rec.value("ac").toString(), ac);
    QCOMPARE(QJsonDocument(rec.value("e").toObject()).toJson(QJsonDocument::Compact), extra);
    QCOMPARE(qint64(rec.value("pt").toDouble()), kNowMs);
    QCOMPARE(qint64(rec.value("oct").toDouble()), kNowMs);
    QCOMPARE(rec.value("dur"), QJsonValue(0));

    // The record, indented, and the body as sent reach the debug output.
    QVERIFY(debug.messages().contains(QString::fromUtf8(QJsonDocument(rec).toJson(QJsonDocument::Indented))));
    QVERIFY(debug.messages().contains(QString::fromLatin1(r.body)));

    const QString logLine = QString("point - {version:2.3.0.0, uid:77, rid:88, pagecode:%1, action:%2, e:%3}.")
                                .arg(page, ac, QString::fromUtf8(extra));
    QVERIFY2(testsupport::LogCapture::texts().contains(logLine), qPrintable(logLine));
}

void TestWebRequest::actionsOutsideTableNeverSent_data()
{
    QTest::addColumn<int>("action");
    QTest::newRow("23") << 23;
    QTest::newRow("-1") << -1;
    QTest::newRow("1000") << 1000;
}

void TestWebRequest::actionsOutsideTableNeverSent()
{
    QFETCH(int, action);
    MorvaPointing pointing("2.3.0.0");
    QVERIFY(MorvaPointing::ActionName(action).isEmpty());
    QVERIFY(MorvaPointing::PageCode(action).isEmpty());

    const int logLines = testsupport::LogCapture::lines().size();
    pointing.Report(action, 1, 77, 88);
    MorvaPointing::ActionRecord record;
    record.action = action;
    pointing.Send(record);
    // A post would be queued for the event loop, and its network manager made.
    QCoreApplication::processEvents();
    QVERIFY(!pointing.findChild<QNetworkAccessManager *>());
    QCOMPARE(testsupport::LogCapture::lines().size(), logLines);

    // The reporter itself still works.
    const HttpRequest r = reportAndWait(pointing, 7, -1, 0, 0);
    QCOMPARE(decodeRecord(r.body).value("ac").toString(), QString("click_home_start"));
    QCOMPARE(m_analytics->requestCount(), 1);
}

void TestWebRequest::pointingReply_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("localeCodec"); // empty: the environment's
    QTest::addColumn<QString>("debugLine");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("accepted") << QByteArray(R"({"error":0})") << QByteArray() << QString() << QString();
    QTest::newRow("refused with message") << QByteArray(R"({"error":3,"msg":"签名错误"})") << QByteArray()
                                          << QStringLiteral("Morva pointing error: 签名错误")
                                          << QStringLiteral("point failed : 签名错误");
    // Log texts are UTF-8 whatever the locale: no question marks.
    QTest::newRow("refused under a Latin-1 locale")
        << QByteArray(R"({"error":3,"msg":"签名错误"})") << QByteArray("ISO-8859-1")
        << QStringLiteral("Morva pointing error: 签名错误") << QStringLiteral("point failed : 签名错误");
    QTest::newRow("refused without message") << QByteArray(R"({"error":3})") << QByteArray()
                                             << "Morva pointing error: unexpected HTTP response" << QString();
    QTest::newRow("negative error") << QByteArray(R"({"error":-2,"msg":"x"})") << QByteArray()
                                    << "Morva pointing error: unexpected HTTP response" << QString();
    QTest::newRow("not JSON") << QByteArray("<html>502</html>") << QByteArray()
                              << "Morva pointing error: unexpected HTTP response" << QString();
}

void TestWebRequest::pointingReply()
{
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, localeCodec);
    QFETCH(QString, debugLine);
    QFETCH(QString, logLine);

    m_analytics->route("POST", "/deliver/tide2", HttpResponse::json(answer));
    testsupport::DebugCapture debug;
    const int logLines = testsupport::LogCapture::texts().size();

    QTextCodec *const environmentCodec = QTextCodec::codecForLocale();
    if (!localeCodec.isEmpty())
        QTextCodec::setCodecForLocale(QTextCodec::codecForName(localeCodec));
    MorvaPointing pointing("2.3.0.0");
    const HttpRequest r = reportAndWait(pointing, 13, -1, 1, 2);
    QTextCodec::setCodecForLocale(environmentCodec);
    m_analytics->route("POST", "/deliver/tide2", HttpResponse::json(R"({"error":0})"));
    QVERIFY(!r.body.isEmpty());

    const QStringList newLog = testsupport::LogCapture::texts().mid(logLines);
    // The report's own line, then the failure when there is one.
    QCOMPARE(newLog.size(), logLine.isEmpty() ? 1 : 2);
    QVERIFY(newLog.first().startsWith("point - "));
    if (!logLine.isEmpty())
        QCOMPARE(newLog.last(), logLine);
    bool errorLines = false;
    for (const QString &m : debug.messages())
        errorLines = errorLines || m.startsWith("Morva pointing error");
    if (debugLine.isEmpty())
        QVERIFY(!errorLines);
    else
        QVERIFY2(debug.messages().contains(debugLine), qPrintable(debug.messages().join('\n')));
}

void TestWebRequest::deviceIdInRecord_data()
{
    QTest::addColumn<bool>("loopbackOnly");
    QTest::newRow("usable interface") << false;
    QTest::newRow("loopback only") << true;
}

void TestWebRequest::deviceIdInRecord()
{
    QFETCH(bool, loopbackOnly);
    if (loopbackOnly) {
        NetworkInterfaces::setSource([] {
            return QList<NetworkInterfaceEntry>{itf("lo", true, "00:00:00:00:00:00", {"127.0.0.1", "::1"})};
        });
    }
    const QString expected = loopbackOnly ? QString() : kMac;
    QCOMPARE(MorvaPointing::DeviceId(), expected);

    // The reporter reads the id once, when it is made.
    MorvaPointing pointing("2.3.0.0");
    NetworkInterfaces::setSource([] {
        return QList<NetworkInterfaceEntry>{itf("eth9", false, "52:54:00:99:99:99", {"192.0.2.99"})};
    });
    const HttpRequest r = reportAndWait(pointing, 0, -1, 0, 0);
    const QJsonObject rec = decodeRecord(r.body);
    QVERIFY(rec.contains("d"));
    QCOMPARE(rec.value("d").toString(), expected);
    QCOMPARE(rec.value("i"), QJsonValue(0));
    QCOMPARE(rec.value("rid"), QJsonValue(0));
}

QTEST_MAIN(TestWebRequest)
#include "tst_webrequest.moc"
