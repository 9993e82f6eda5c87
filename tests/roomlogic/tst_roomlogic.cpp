#include "GiftSummary.h"
#include "KeywordList.h"
#include "RoomReplies.h"
#include "SpeechSchedule.h"

#include <QtTest>

#include <climits>

using roomreplies::UnmuteResult;

Q_DECLARE_METATYPE(UnmuteResult::Outcome)

namespace {

// A mute-list row as its five texts, in the record's order.
QStringList texts(const DisableRecordData &row)
{
    return {row.uid, row.storeKey, row.nickName, row.opUser, row.invalidTimestamp};
}

QList<QStringList> texts(const QVector<DisableRecordData> &rows)
{
    QList<QStringList> all;
    for (const DisableRecordData &row : rows)
        all << texts(row);
    return all;
}

DisableRecordData muteRow(const QString &id, const QString &op)
{
    DisableRecordData row;
    row.uid = id;
    row.storeKey = id;
    row.nickName = QStringLiteral("昵称") + id;
    row.opUser = op;
    row.invalidTimestamp = QStringLiteral("2026-12-10 18:00:00");
    return row;
}

const QString kBrown = QStringLiteral("<font style=\"font-size:14px;color:#a55c12\">%1</font>");
const QString kBlue = QStringLiteral("<font style=\"font-size:14px;color:#007eff\">%1</font>");

// 2026-12-10 09:05:59, local time.
QDateTime summaryTime()
{
    return QDateTime(QDate(2026, 12, 10), QTime(9, 5, 59));
}

QString timeLine()
{
    return kBrown.arg(QStringLiteral("2026-12-10 09:05"));
}

} // namespace

class TestRoomLogic : public QObject
{
    Q_OBJECT

private slots:
    void init();

    // keywords
    void keywordsSplitAtSingleBlanks_data();
    void keywordsSplitAtSingleBlanks();
    void containsKeyword_data();
    void containsKeyword();
    void keywordPlaceholderStoresEmpty_data();
    void keywordPlaceholderStoresEmpty();

    // speech
    void formInterval_data();
    void formInterval();
    void workingInterval_data();
    void workingInterval();
    void speechPlaceholderStoresEmpty();
    void speechCyclesSuffixes();
    void speechCounterStandsWhileIdle_data();
    void speechCounterStandsWhileIdle();
    void speechWaitsForMultipleOfNewInterval();
    void storedZeroIntervalRunsEvery90Seconds();

    // gifts
    void summaryListsDonorsSummedInNameOrder();
    void summaryTicketLevels_data();
    void summaryTicketLevels();
    void summaryOrdersSectionsAndArrivals();
    void summaryShowsMarkupInNamesAsText();
    void quietMinuteWritesNothing();
    void donorTotalsDoNotOverflow();

    // replies
    void muteListRows_data();
    void muteListRows();
    void muteRowUidValue_data();
    void muteRowUidValue();
    void ownMutesAreLabelled();
    void unmuteReply_data();
    void unmuteReply();
};

void TestRoomLogic::init()
{
    SpeechSchedule::resetCountersForTests();
}

// ---- keywords ---------------------------------------------------------------

void TestRoomLogic::keywordsSplitAtSingleBlanks_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QStringList>("keywords");
    QTest::newRow("two blanks, then one") << QStringLiteral("广告  加微信 刷票")
                                          << QStringList{QStringLiteral("广告"), QStringLiteral("加微信"), QStringLiteral("刷票")};
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("blanks only") << QStringLiteral("   ") << QStringList();
    QTest::newRow("blanks around") << QStringLiteral(" a b ") << QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QTest::newRow("tab stays inside") << QStringLiteral("a\tb c") << QStringList{QStringLiteral("a\tb"), QStringLiteral("c")};
    QTest::newRow("ideographic space stays inside") << QStringLiteral("a\u3000b") << QStringList{QStringLiteral("a\u3000b")};
    QTest::newRow("duplicates stay") << QStringLiteral("a a") << QStringList{QStringLiteral("a"), QStringLiteral("a")};
    QTest::newRow("more than three") << QStringLiteral("1 2 3 4 5")
                                     << QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                                    QStringLiteral("4"), QStringLiteral("5")};
}

void TestRoomLogic::keywordsSplitAtSingleBlanks()
{
    QFETCH(QString, setting);
    QFETCH(QStringList, keywords);
    KeywordList list;
    list.setKeywords(QStringLiteral("old"));
    list.setKeywords(setting);
    QCOMPARE(list.keywords(), keywords);
}

void TestRoomLogic::containsKeyword_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("contains");
    QTest::newRow("second keyword inside") << QStringLiteral("广告 加微信") << QStringLiteral("快来加微信领奖") << true;
    QTest::newRow("whole text") << QStringLiteral("广告") << QStringLiteral("广告") << true;
    QTest::newRow("none inside") << QStringLiteral("广告 加微信") << QStringLiteral("主播好") << false;
    QTest::newRow("lower-case keyword, upper-case text") << QStringLiteral("spam") << QStringLiteral("SPAM here") << false;
    QTest::newRow("no keywords") << QString() << QStringLiteral("anything") << false;
    QTest::newRow("empty text") << QStringLiteral("a") << QString() << false;
    QTest::newRow("keyword split by its blank") << QStringLiteral("加 微信") << QStringLiteral("微信") << true;
    QTest::newRow("tab keyword needs the tab") << QStringLiteral("a\tb") << QStringLiteral("a b") << false;
}

void TestRoomLogic::containsKeyword()
{
    QFETCH(QString, setting);
    QFETCH(QString, text);
    QFETCH(bool, contains);
    KeywordList list;
    list.setKeywords(setting);
    QCOMPARE(list.ContainsKeyword(text), contains);
}

void TestRoomLogic::keywordPlaceholderStoresEmpty_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("setting");
    QTest::newRow("placeholder") << QStringLiteral("txt_DisableChat_text3") << QString();
    QTest::newRow("placeholder with more") << QStringLiteral("txt_DisableChat_text3 ") << QStringLiteral("txt_DisableChat_text3 ");
    QTest::newRow("keywords") << QStringLiteral("广告 刷票") << QStringLiteral("广告 刷票");
}

void TestRoomLogic::keywordPlaceholderStoresEmpty()
{
    QFETCH(QString, input);
    QFETCH(QString, setting);
    QCOMPARE(KeywordList::settingFromInput(input), setting);
}

// ---- speech -----------------------------------------------------------------

void TestRoomLogic::formInterval_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("seconds"); // 0: refused
    QTest::newRow("lowest") << QStringLiteral("20") << 20;
    QTest::newRow("highest") << QStringLiteral("7200") << 7200;
    QTest::newRow("default") << QStringLiteral("90") << 90;
    QTest::newRow("below") << QStringLiteral("19") << 0;
    QTest::newRow("above") << QStringLiteral("7201") << 0;
    QTest::newRow("negative") << QStringLiteral("-60") << 0;
    QTest::newRow("no number") << QStringLiteral("abc") << 0;
    QTest::newRow("fraction") << QStringLiteral("60.5") << 0;
    QTest::newRow("empty") << QString() << 0;
}

void TestRoomLogic::formInterval()
{
    QFETCH(QString, input);
    QFETCH(int, seconds);
    QCOMPARE(SpeechSchedule::intervalFromInput(input).value_or(0), seconds);
}

void TestRoomLogic::workingInterval_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("working");
    QTest::newRow("missing key reads 0") << 0 << 90;
    QTest::newRow("below") << 19 << 90;
    QTest::newRow("lowest") << 20 << 20;
    QTest::newRow("inside") << 120 << 120;
    QTest::newRow("highest") << 7200 << 7200;
    QTest::newRow("above") << 7201 << 90;
    QTest::newRow("negative") << -5 << 90;
    QTest::newRow("lowest int") << INT_MIN << 90;
}

void TestRoomLogic::workingInterval()
{
    QFETCH(int, stored);
    QFETCH(int, working);
    QCOMPARE(SpeechSchedule::workingInterval(stored), working);
}

void TestRoomLogic::speechPlaceholderStoresEmpty()
{
    QCOMPARE(SpeechSchedule::contentFromInput(QStringLiteral("txt_AutoSendMsg_text2")), QString());
    QCOMPARE(SpeechSchedule::contentFromInput(QStringLiteral("欢迎来到直播间")), QStringLiteral("欢迎来到直播间"));
}

void TestRoomLogic::speechCyclesSuffixes()
{
    const QString content = QStringLiteral("欢迎");
    QList<QPair<int, QString>> posted;
    for (int second = 1; second <= 80; ++second) {
        if (const std::optional<QString> message = SpeechSchedule::tick(true, content, 20))
            posted << qMakePair(second, *message);
    }
    const QList<QPair<int, QString>> expected{
        {20, QStringLiteral("欢迎 ")}, {40, QStringLiteral("欢迎.")}, {60, QStringLiteral("欢迎")}, {80, QStringLiteral("欢迎 ")}};
    QCOMPARE(posted, expected);
    QCOMPARE(SpeechSchedule::secondsCounter(), 0);
    QCOMPARE(SpeechSchedule::suffixIndex(), 1);
}

void TestRoomLogic::speechCounterStandsWhileIdle_data()
{
    QTest::addColumn<bool>("autoSpeak");
    QTest::addColumn<QString>("content");
    QTest::newRow("speech off") << false << QStringLiteral("欢迎");
    QTest::newRow("content empty") << true << QString();
}

void TestRoomLogic::speechCounterStandsWhileIdle()
{
    QFETCH(bool, autoSpeak);
    QFETCH(QString, content);
    for (int second = 0; second < 10; ++second)
        QVERIFY(!SpeechSchedule::tick(true, QStringLiteral("欢迎"), 20));
    for (int second = 0; second < 100; ++second)
        QVERIFY(!SpeechSchedule::tick(autoSpeak, content, 20));
    QCOMPARE(SpeechSchedule::secondsCounter(), 10);
    // Back on, the counter goes on from 10: the message is due ten seconds later.
    for (int second = 0; second < 9; ++second)
        QVERIFY(!SpeechSchedule::tick(true, QStringLiteral("欢迎"), 20));
    QCOMPARE(SpeechSchedule::tick(true, QStringLiteral("欢迎"), 20), std::optional<QString>(QStringLiteral("欢迎 ")));
}

void TestRoomLogic::speechWaitsForMultipleOfNewInterval()
{
    for (int second = 0; second < 30; ++second)
        QVERIFY(!SpeechSchedule::tick(true, QStringLiteral("hi"), 60));
    // Already past 25: the next message is due at 50, not at once.
    int due = 0;
    for (int second = 31; second <= 50 && !due; ++second) {
        if (SpeechSchedule::tick(true, QStringLiteral("hi"), 25))
            due = second;
    }
    QCOMPARE(due, 50);
}

void TestRoomLogic::storedZeroIntervalRunsEvery90Seconds()
{
    int due = 0;
    for (int second = 1; second <= 100 && !due; ++second) {
        if (SpeechSchedule::tick(true, QStringLiteral("hi"), 0))
            due = second;
    }
    QCOMPARE(due, 90);
}

// ---- gifts ------------------------------------------------------------------

void TestRoomLogic::summaryListsDonorsSummedInNameOrder()
{
    GiftSummary gifts;
    gifts.addDonation(QStringLiteral("张三"), 1);
    gifts.addDonation(QStringLiteral("Zed"), 10);
    gifts.addDonation(QStringLiteral("张三"), 1);
    gifts.addDonation(QStringLiteral("张三"), 1);
    gifts.addDonation(QStringLiteral("Amy"), 5);
    QCOMPARE(gifts.takeSummary(summaryTime()),
             (QStringList{timeLine(), kBrown.arg(QStringLiteral("Amy赠送主播5珍珠")),
                          kBrown.arg(QStringLiteral("Zed赠送主播10珍珠")), kBrown.arg(QStringLiteral("张三赠送主播3珍珠"))}));
}

void TestRoomLogic::summaryTicketLevels_data()
{
    QTest::addColumn<int>("lev");
    QTest::addColumn<QString>("line");
    QTest::newRow("junior") << 1 << QStringLiteral("李四送出初级功勋月票一张");
    QTest::newRow("middle") << 2 << QStringLiteral("李四送出中级功勋月票一张");
    QTest::newRow("senior") << 3 << QStringLiteral("李四送出高级功勋月票一张");
    QTest::newRow("unknown 4: name alone") << 4 << QStringLiteral("李四");
    QTest::newRow("unknown 0: name alone") << 0 << QStringLiteral("李四");
}

void TestRoomLogic::summaryTicketLevels()
{
    QFETCH(int, lev);
    QFETCH(QString, line);
    GiftSummary gifts;
    gifts.addMerit({QStringLiteral("李四"), lev});
    QCOMPARE(gifts.takeSummary(summaryTime()), (QStringList{timeLine(), kBlue.arg(line)}));
}

void TestRoomLogic::summaryOrdersSectionsAndArrivals()
{
    GiftSummary gifts;
    gifts.addAmber({QStringLiteral("乙"), 2, QStringLiteral("棒棒糖"), 10});
    gifts.addMerit({QStringLiteral("丁"), 3});
    gifts.addAmber({QStringLiteral("甲"), 5, QStringLiteral("跑车"), 100});
    gifts.addDonation(QStringLiteral("丙"), 1);
    gifts.addMerit({QStringLiteral("戊"), 1});
    QCOMPARE(gifts.takeSummary(summaryTime()),
             (QStringList{timeLine(), kBrown.arg(QStringLiteral("丙赠送主播1珍珠")),
                          kBlue.arg(QStringLiteral("丁送出高级功勋月票一张")),
                          kBlue.arg(QStringLiteral("戊送出初级功勋月票一张")),
                          kBrown.arg(QStringLiteral("乙赠送主播一个棒棒糖")),
                          kBrown.arg(QStringLiteral("甲赠送主播一个跑车"))}));
}

void TestRoomLogic::summaryShowsMarkupInNamesAsText()
{
    GiftSummary gifts;
    gifts.addDonation(QStringLiteral("<b>x</b>&%2"), 1);
    gifts.addMerit({QStringLiteral("<img src=a>"), 1});
    gifts.addAmber({QStringLiteral("%1\"q\""), 2, QStringLiteral("<i>糖</i>"), 10});
    QCOMPARE(gifts.takeSummary(summaryTime()),
             (QStringList{timeLine(), kBrown.arg(QStringLiteral("&lt;b&gt;x&lt;/b&gt;&amp;%2赠送主播1珍珠")),
                          kBlue.arg(QStringLiteral("&lt;img src=a&gt;送出初级功勋月票一张")),
                          kBrown.arg(QStringLiteral("%1&quot;q&quot;赠送主播一个&lt;i&gt;糖&lt;/i&gt;"))}));
}

void TestRoomLogic::quietMinuteWritesNothing()
{
    GiftSummary gifts;
    QVERIFY(gifts.takeSummary(summaryTime()).isEmpty());
    gifts.addDonation(QStringLiteral("甲"), 1);
    gifts.addMerit({QStringLiteral("乙"), 1});
    gifts.addAmber({QStringLiteral("丙"), 2, QStringLiteral("棒棒糖"), 10});
    QCOMPARE(gifts.takeSummary(summaryTime()).size(), 4);
    // Taken once: the next minute starts empty.
    QVERIFY(gifts.isEmpty());
    QVERIFY(gifts.takeSummary(summaryTime()).isEmpty());
}

void TestRoomLogic::donorTotalsDoNotOverflow()
{
    GiftSummary gifts;
    gifts.addDonation(QStringLiteral("甲"), INT_MAX);
    gifts.addDonation(QStringLiteral("甲"), INT_MAX);
    QCOMPARE(gifts.takeSummary(summaryTime()).value(1), kBrown.arg(QStringLiteral("甲赠送主播4294967294珍珠")));
}

// ---- replies ----------------------------------------------------------------

void TestRoomLogic::muteListRows_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QList<QStringList>>("rows");
    const QString end = QStringLiteral("2026-12-10 18:00:00");
    QTest::newRow("two rows in order")
        << QByteArray(R"({"data":[{"mute_user_id":"77","nick_name":"张三","op_user":"摩瓦主播","invalid_timestamp":"2026-12-10 18:00:00"},)"
                      R"({"mute_user_id":"5","nick_name":"李四","op_user":"房管","invalid_timestamp":"1765389600","extra":1}]})")
        << QList<QStringList>{{QStringLiteral("77"), QStringLiteral("77"), QStringLiteral("张三"), QStringLiteral("摩瓦主播"), end},
                              {QStringLiteral("5"), QStringLiteral("5"), QStringLiteral("李四"), QStringLiteral("房管"), QStringLiteral("1765389600")}};
    QTest::newRow("numeric id reads empty")
        << QByteArray(R"({"data":[{"mute_user_id":77,"nick_name":"张三","op_user":"摩瓦主播","invalid_timestamp":"2026-12-10 18:00:00"}]})")
        << QList<QStringList>{{QString(), QString(), QStringLiteral("张三"), QStringLiteral("摩瓦主播"), end}};
    QTest::newRow("missing and null members read empty")
        << QByteArray(R"({"data":[{"mute_user_id":"9","nick_name":null}]})")
        << QList<QStringList>{{QStringLiteral("9"), QStringLiteral("9"), QString(), QString(), QString()}};
    QTest::newRow("element not an object") << QByteArray(R"({"data":["77"]})")
                                           << QList<QStringList>{{QString(), QString(), QString(), QString(), QString()}};
    QTest::newRow("empty list") << QByteArray(R"({"data":[]})") << QList<QStringList>();
    QTest::newRow("cut short") << QByteArray(R"({"data":[{"mute_user_id":"77",)") << QList<QStringList>();
    QTest::newRow("data an object") << QByteArray(R"({"data":{"mute_user_id":"77","nick_name":"张三"}})") << QList<QStringList>();
    QTest::newRow("data a text") << QByteArray(R"({"data":"none"})") << QList<QStringList>();
    QTest::newRow("no data") << QByteArray(R"({"code":0})") << QList<QStringList>();
    QTest::newRow("top level an array") << QByteArray(R"([{"data":[]}])") << QList<QStringList>();
    QTest::newRow("empty reply") << QByteArray() << QList<QStringList>();
    QTest::newRow("not JSON") << QByteArray("\xff\xfe<html>", 8) << QList<QStringList>();
}

void TestRoomLogic::muteListRows()
{
    QFETCH(QByteArray, reply);
    QFETCH(QList<QStringList>, rows);
    QCOMPARE(texts(roomreplies::parseMuteList(reply)), rows);
}

void TestRoomLogic::muteRowUidValue_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("value");
    QTest::newRow("decimal") << QStringLiteral("123456") << 123456;
    QTest::newRow("leading zeros") << QStringLiteral("007") << 7;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("no number") << QStringLiteral("abc") << 0;
    QTest::newRow("hexadecimal is no decimal") << QStringLiteral("0x1F") << 0;
    QTest::newRow("past int") << QStringLiteral("99999999999") << 0;
    QTest::newRow("negative") << QStringLiteral("-5") << -5;
}

void TestRoomLogic::muteRowUidValue()
{
    QFETCH(QString, id);
    QFETCH(int, value);
    DisableRecordData row;
    row.uid = id;
    QCOMPARE(row.uidValue(), value);
}

void TestRoomLogic::ownMutesAreLabelled()
{
    QVector<DisableRecordData> rows{muteRow(QStringLiteral("77"), QStringLiteral("房管")),
                                    muteRow(QStringLiteral("78"), QStringLiteral("摩瓦主播")),
                                    muteRow(QStringLiteral("5"), QStringLiteral("房管"))};
    // Exact texts only: "05" is not "5".
    roomreplies::labelOwnMutes(rows, {QStringLiteral("78"), QStringLiteral("05"), QStringLiteral("77")});
    QCOMPARE(rows[0].opUser, QStringLiteral("小助手自动封禁"));
    QCOMPARE(rows[1].opUser, QStringLiteral("小助手自动封禁"));
    QCOMPARE(rows[2].opUser, QStringLiteral("房管"));
    QCOMPARE(texts(rows[0]), (QStringList{QStringLiteral("77"), QStringLiteral("77"), QStringLiteral("昵称77"),
                                          QStringLiteral("小助手自动封禁"), QStringLiteral("2026-12-10 18:00:00")}));
}

void TestRoomLogic::unmuteReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<UnmuteResult::Outcome>("outcome");
    QTest::addColumn<QString>("text");
    QTest::newRow("success") << QByteArray(R"({"code":0})") << UnmuteResult::Lifted << QString();
    QTest::newRow("success with data") << QByteArray(R"({"code":0,"data":"ok"})") << UnmuteResult::Lifted << QString();
    QTest::newRow("refusal") << QByteArray(R"({"code":1,"data":"该用户未被禁言"})") << UnmuteResult::Refused
                             << QStringLiteral("该用户未被禁言");
    QTest::newRow("refusal without text") << QByteArray(R"({"code":1})") << UnmuteResult::Refused << QString();
    QTest::newRow("refusal with a number as data") << QByteArray(R"({"code":1,"data":5})") << UnmuteResult::Refused << QString();
    QTest::newRow("code as text") << QByteArray(R"({"code":"0"})") << UnmuteResult::Refused << QString();
    QTest::newRow("no code") << QByteArray(R"({"data":"稍后再试"})") << UnmuteResult::Refused << QStringLiteral("稍后再试");
    QTest::newRow("empty object") << QByteArray("{}") << UnmuteResult::Refused << QString();
    QTest::newRow("array") << QByteArray(R"([{"code":0}])") << UnmuteResult::Refused << QString();
    QTest::newRow("empty reply") << QByteArray() << UnmuteResult::Unreadable << QString();
    QTest::newRow("cut short") << QByteArray(R"({"code":0)") << UnmuteResult::Unreadable << QString();
    QTest::newRow("not JSON") << QByteArray("ok") << UnmuteResult::Unreadable << QString();
}

void TestRoomLogic::unmuteReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(UnmuteResult::Outcome, outcome);
    QFETCH(QString, text);
    const UnmuteResult result = roomreplies::parseUnmuteReply(reply);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.refusalText, text);
}

QTEST_GUILESS_MAIN(TestRoomLogic)
#include "tst_roomlogic.moc"
