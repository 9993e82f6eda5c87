#include "DecoderControl.h"
#include "IMessageDecoder.h"
#include "MessageCodec.h"

#include <QtTest>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class TestChatlink : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void chatRoundTrip_data();
    void chatRoundTrip();
    void otherTypesRoundTrip();
    void contractExamplesDecode();
    void decodeRefusesOtherTypes();
    void unknownOrMalformedInput_data();
    void unknownOrMalformedInput();
    void wrongFieldTypesReadAsEmpty();
    void creationCanFail();
    void decodesFromSeveralThreads();
    void scriptedAnswers();
    void gateHoldsEveryOp_data();
    void gateHoldsEveryOp();

private:
    std::unique_ptr<IMessageDecoder> m_decoder;
};

void TestChatlink::init()
{
    chatlink::control().reset();
    m_decoder.reset(CreateMvMessageDecoder());
    QVERIFY(m_decoder);
}

void TestChatlink::chatRoundTrip_data()
{
    QTest::addColumn<int>("uid");
    QTest::addColumn<QString>("nick");
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("level");
    QTest::newRow("chinese") << 77 << QStringLiteral("张三") << QStringLiteral("你好，主播!") << 3;
    QTest::newRow("quotes and braces") << 1 << QStringLiteral("a\"b") << QStringLiteral("{\"type\":3}\n\\") << 0;
    QTest::newRow("empty texts") << 0 << QString() << QString() << 0;
    QTest::newRow("extreme ints") << 2147483647 << QStringLiteral("x") << QStringLiteral("y") << -2147483647 - 1;
    QTest::newRow("emoji") << 5 << QStringLiteral("😀") << QString(3000, QChar(0x4E2D)) << 99;
}

void TestChatlink::chatRoundTrip()
{
    QFETCH(int, uid);
    QFETCH(QString, nick);
    QFETCH(QString, content);
    QFETCH(int, level);
    ChatRecord in;
    in.senderId = uid;
    in.nickname = nick.toStdString();
    in.content = content.toStdString();
    in.level = level;
    const std::string text = chatlink::encodeChat(in);
    QCOMPARE(m_decoder->GetMessageType(text.c_str()), 2);
    ChatRecord out;
    QCOMPARE(m_decoder->DecodeChat(text.c_str(), &out), 0);
    QCOMPARE(out.senderId, uid);
    QCOMPARE(QString::fromStdString(out.nickname), nick);
    QCOMPARE(QString::fromStdString(out.content), content);
    QCOMPARE(out.level, level);
}

void TestChatlink::otherTypesRoundTrip()
{
    GiftRecord gift;
    gift.giftId = 2;
    gift.senderId = 77;
    gift.nickname = "李四";
    gift.count = 5;
    std::string text = chatlink::encodeGift(gift);
    QCOMPARE(m_decoder->GetMessageType(text.c_str()), 3);
    GiftRecord giftOut;
    QCOMPARE(m_decoder->DecodeGift(text.c_str(), &giftOut), 0);
    QCOMPARE(giftOut.giftId, 2);
    QCOMPARE(giftOut.senderId, 77);
    QCOMPARE(giftOut.nickname, std::string("李四"));
    QCOMPARE(giftOut.count, 5);

    EffectRecord effect;
    effect.text = "烟花";
    effect.param = -4;
    text = chatlink::encodeEffect(effect);
    QCOMPARE(m_decoder->GetMessageType(text.c_str()), 6);
    EffectRecord effectOut;
    QCOMPARE(m_decoder->DecodeEffect(text.c_str(), &effectOut), 0);
    QCOMPARE(effectOut.text, std::string("烟花"));
    QCOMPARE(effectOut.param, -4);

    MonthlyTicketRecord ticket;
    ticket.level = 3;
    ticket.senderId = 88;
    ticket.count = 12;
    ticket.nickname = "王五";
    text = chatlink::encodeMonthlyTicket(ticket);
    QCOMPARE(m_decoder->GetMessageType(text.c_str()), 7);
    MonthlyTicketRecord ticketOut;
    QCOMPARE(m_decoder->DecodeMonthlyTicket(text.c_str(), &ticketOut), 0);
    QCOMPARE(ticketOut.level, 3);
    QCOMPARE(ticketOut.senderId, 88);
    QCOMPARE(ticketOut.count, 12);
    QCOMPARE(ticketOut.nickname, std::string("王五"));

    for (int status : {0, 1}) {
        BlacklistRecord black;
        black.status = status;
        black.userId = 4242;
        text = chatlink::encodeBlacklist(black);
        QCOMPARE(m_decoder->GetMessageType(text.c_str()), 14);
        BlacklistRecord blackOut;
        QCOMPARE(m_decoder->DecodeBlacklist(text.c_str(), &blackOut), 0);
        QCOMPARE(blackOut.status, status);
        QCOMPARE(blackOut.userId, 4242);
    }
}

void TestChatlink::contractExamplesDecode()
{
    const char *chat = "{\"type\":2,\"uid\":77,\"nick\":\"张三\",\"content\":\"你好\",\"level\":3}";
    ChatRecord c;
    QCOMPARE(m_decoder->DecodeChat(chat, &c), 0);
    QCOMPARE(c.senderId, 77);
    QCOMPARE(c.nickname, std::string("张三"));
    QCOMPARE(c.content, std::string("你好"));
    QCOMPARE(c.level, 3);

    GiftRecord g;
    QCOMPARE(m_decoder->DecodeGift("{\"type\":3,\"gift_id\":1,\"uid\":77,\"nick\":\"张三\"}", &g), 0);
    QCOMPARE(g.giftId, 1);
    QCOMPARE(g.senderId, 77);
    QCOMPARE(g.count, 0);

    MonthlyTicketRecord t;
    QCOMPARE(m_decoder->DecodeMonthlyTicket("{\"type\":7,\"level\":2,\"nick\":\"李四\"}", &t), 0);
    QCOMPARE(t.level, 2);
    QCOMPARE(t.nickname, std::string("李四"));

    BlacklistRecord b;
    b.status = 9;
    QCOMPARE(m_decoder->DecodeBlacklist("{\"type\":14,\"status\":0,\"uid\":77}", &b), 0);
    QCOMPARE(b.status, 0);
    QCOMPARE(b.userId, 77);
}

void TestChatlink::decodeRefusesOtherTypes()
{
    ChatRecord chat;
    chat.senderId = 1;
    chat.content = "x";
    const std::string chatText = chatlink::encodeChat(chat);
    GiftRecord gift;
    gift.giftId = 55;
    gift.nickname = "kept";
    QVERIFY(m_decoder->DecodeGift(chatText.c_str(), &gift) != 0);
    QCOMPARE(gift.giftId, 55);
    QCOMPARE(gift.nickname, std::string("kept"));
    BlacklistRecord black;
    black.status = 3;
    QVERIFY(m_decoder->DecodeBlacklist(chatText.c_str(), &black) != 0);
    QCOMPARE(black.status, 3);
    QVERIFY(m_decoder->DecodeChat(chatText.c_str(), nullptr) != 0);
}

void TestChatlink::unknownOrMalformedInput_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("type");
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("not json") << QByteArray("hello") << -1;
    QTest::newRow("truncated") << QByteArray("{\"type\":2,\"uid\":") << -1;
    QTest::newRow("array") << QByteArray("[2]") << -1;
    QTest::newRow("no type") << QByteArray("{\"uid\":7}") << -1;
    QTest::newRow("type as text") << QByteArray("{\"type\":\"2\"}") << -1;
    QTest::newRow("fractional type") << QByteArray("{\"type\":2.5}") << -1;
    QTest::newRow("huge type") << QByteArray("{\"type\":1e20}") << -1;
    QTest::newRow("unhandled type") << QByteArray("{\"type\":99,\"uid\":1}") << 99;
    QTest::newRow("type 0") << QByteArray("{\"type\":0}") << 0;
}

void TestChatlink::unknownOrMalformedInput()
{
    QFETCH(QByteArray, text);
    QFETCH(int, type);
    QCOMPARE(m_decoder->GetMessageType(text.constData()), type);
    ChatRecord chat;
    chat.level = 7;
    QVERIFY(m_decoder->DecodeChat(text.constData(), &chat) != 0);
    QCOMPARE(chat.level, 7);
    GiftRecord gift;
    QVERIFY(m_decoder->DecodeGift(text.constData(), &gift) != 0);
    EffectRecord effect;
    QVERIFY(m_decoder->DecodeEffect(text.constData(), &effect) != 0);
    MonthlyTicketRecord ticket;
    QVERIFY(m_decoder->DecodeMonthlyTicket(text.constData(), &ticket) != 0);
    BlacklistRecord black;
    QVERIFY(m_decoder->DecodeBlacklist(text.constData(), &black) != 0);
    QCOMPARE(m_decoder->GetMessageType(nullptr), -1);
    QVERIFY(m_decoder->DecodeChat(nullptr, &chat) != 0);
}

void TestChatlink::wrongFieldTypesReadAsEmpty()
{
    ChatRecord c;
    c.senderId = 5;
    c.nickname = "old";
    QCOMPARE(m_decoder->DecodeChat("{\"type\":2,\"uid\":\"77\",\"nick\":5,\"content\":null,\"level\":1.5}", &c), 0);
    QCOMPARE(c.senderId, 0);
    QCOMPARE(c.nickname, std::string());
    QCOMPARE(c.content, std::string());
    QCOMPARE(c.level, 0);
    BlacklistRecord b;
    QCOMPARE(m_decoder->DecodeBlacklist("{\"type\":14,\"uid\":99999999999}", &b), 0);
    QCOMPARE(b.userId, 0);
}

void TestChatlink::creationCanFail()
{
    chatlink::control().reset();
    chatlink::control().failNextCreates(2);
    QVERIFY(!CreateMvMessageDecoder());
    QVERIFY(!CreateMvMessageDecoder());
    std::unique_ptr<IMessageDecoder> d(CreateMvMessageDecoder());
    QVERIFY(d);
    QCOMPARE(chatlink::control().log().count("CreateMvMessageDecoder"), 3);
    d->GetMessageType("{\"type\":2}");
    QCOMPARE(chatlink::control().log().last("GetMessageType")->args.front(), std::string("{\"type\":2}"));
}

void TestChatlink::decodesFromSeveralThreads()
{
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                ChatRecord in;
                in.senderId = t * 1000 + i;
                in.content = "第" + std::to_string(i) + "条";
                const std::string text = chatlink::encodeChat(in);
                ChatRecord out;
                if (m_decoder->DecodeChat(text.c_str(), &out) != 0 || out.senderId != in.senderId
                    || out.content != in.content)
                    ++wrong;
            }
        });
    }
    for (auto &th : threads)
        th.join();
    QCOMPARE(wrong.load(), 0);
}

void TestChatlink::scriptedAnswers()
{
    const std::string chat = chatlink::encodeChat({77, "张三", "你好", 3});
    auto &results = chatlink::control().results();
    results.push("GetMessageType", 14);
    QCOMPARE(m_decoder->GetMessageType(chat.c_str()), 14);
    QCOMPARE(m_decoder->GetMessageType(chat.c_str()), 2); // one call only

    // A scripted failure leaves the record alone; a scripted 0 lets the text decide.
    ChatRecord r;
    r.nickname = "untouched";
    results.push("DecodeChat", 5);
    QCOMPARE(m_decoder->DecodeChat(chat.c_str(), &r), 5);
    QCOMPARE(r.nickname, std::string("untouched"));
    results.push("DecodeChat", 0);
    QCOMPARE(m_decoder->DecodeChat("not a message", &r), 1);
    QCOMPARE(r.nickname, std::string("untouched"));
    QCOMPARE(m_decoder->DecodeChat(chat.c_str(), &r), 0);
    QCOMPARE(r.nickname, std::string("张三"));

    // Scripts are per op.
    results.push("DecodeGift", 9);
    BlacklistRecord b;
    QCOMPARE(m_decoder->DecodeBlacklist(chatlink::encodeBlacklist({0, 77}).c_str(), &b), 0);
    QCOMPARE(b.userId, 77);
    chatlink::control().reset();
    GiftRecord g;
    QCOMPARE(m_decoder->DecodeGift(chatlink::encodeGift({1, 77, "张三", 1}).c_str(), &g), 0);
}

namespace {

// Every decoder op, called once.
const std::vector<std::pair<const char *, std::function<void(IMessageDecoder *)>>> &decoderOps()
{
    static const std::vector<std::pair<const char *, std::function<void(IMessageDecoder *)>>> ops = {
        {"CreateMvMessageDecoder", [](IMessageDecoder *) { delete CreateMvMessageDecoder(); }},
        {"GetMessageType", [](IMessageDecoder *d) { d->GetMessageType("{}"); }},
        {"DecodeChat", [](IMessageDecoder *d) { ChatRecord r; d->DecodeChat("{}", &r); }},
        {"DecodeGift", [](IMessageDecoder *d) { GiftRecord r; d->DecodeGift("{}", &r); }},
        {"DecodeEffect", [](IMessageDecoder *d) { EffectRecord r; d->DecodeEffect("{}", &r); }},
        {"DecodeMonthlyTicket", [](IMessageDecoder *d) { MonthlyTicketRecord r; d->DecodeMonthlyTicket("{}", &r); }},
        {"DecodeBlacklist", [](IMessageDecoder *d) { BlacklistRecord r; d->DecodeBlacklist("{}", &r); }},
    };
    return ops;
}

} // namespace

void TestChatlink::gateHoldsEveryOp_data()
{
    QTest::addColumn<int>("op");
    for (int i = 0; i < int(decoderOps().size()); ++i)
        QTest::newRow(decoderOps()[size_t(i)].first) << i;
}

void TestChatlink::gateHoldsEveryOp()
{
    QFETCH(int, op);
    const auto &[name, call] = decoderOps()[size_t(op)];
    auto &control = chatlink::control();
    const mvplatform::GateProbe probe = mvplatform::probeGate(
        control.gates(), name, [&, call = call] { call(m_decoder.get()); },
        [&](int timeoutMs) { return control.waitIdle(timeoutMs); });
    QVERIFY(probe.held);
    QVERIFY(probe.busyWhileHeld);
    QVERIFY(probe.idleAfter);
    QCOMPARE(control.log().count(name), std::string(name) == "CreateMvMessageDecoder" ? 2 : 1);
}

QTEST_GUILESS_MAIN(TestChatlink)
#include "tst_chatlink.moc"
