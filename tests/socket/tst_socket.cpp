#include "SttAES.h"
#include "SttMessageCodec.h"
#include "SttSocketConnection.h"
#include "TempEnvironment.h"
#include "TextLog.h"

#include <QtTest>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/write.hpp>

#include <future>
#include <thread>
#include <vector>

using boost::asio::ip::tcp;
using Ptr = SttSocketConnection::Ptr;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// The frame key as peers carry it.
const QByteArray kPeerKey = QByteArray::fromHex(
    "6f7fa9e73d044d34858ef144d9732e3f02ec8f5b5e296cdb41b78a2ad0d8338b");

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

// A message: length field, two caller bytes, the flag, one caller byte, body.
QByteArray message(const QByteArray &body, bool enciphered, qint64 lengthField = -1)
{
    const quint32 field = lengthField < 0 ? quint32(8 + body.size()) : quint32(lengthField);
    return le32(field) + QByteArray("\x12\x34", 2) + char(enciphered ? 1 : 0) + '\x56' + body;
}

QByteArray frameOf(const QByteArray &msg)
{
    return le32(quint32(msg.size())) + msg;
}

QByteArray frameBytes(CSttTransmitData *frame)
{
    QByteArray out(frame->Data(), int(frame->Size()));
    frame->Release();
    return out;
}

// Messages and errors one connection reported, in order.
class Inbox
{
public:
    void attach(SttSocketConnection &c)
    {
        c.SetReceiveCallback([this](const char *m, std::size_t n) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_messages.push_back(QByteArray(m, int(n)));
        });
        c.SetErrorCallback([this](const boost::system::error_code &e) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_errors.push_back(e);
        });
    }
    std::vector<QByteArray> messages() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_messages;
    }
    std::vector<boost::system::error_code> errors() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_errors;
    }
    std::size_t messageCount() const { return messages().size(); }
    std::size_t errorCount() const { return errors().size(); }

private:
    mutable std::mutex m_mutex;
    std::vector<QByteArray> m_messages;
    std::vector<boost::system::error_code> m_errors;
};

// An io_context running on its own thread, and an acceptor on 127.0.0.1
// with an ephemeral port.
class Loopback
{
public:
    Loopback()
        : m_work(boost::asio::make_work_guard(io))
        , m_acceptor(io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0))
        , m_thread([this] { io.run(); })
    {
    }
    ~Loopback()
    {
        m_work.reset();
        io.stop();
        m_thread.join();
    }

    tcp::endpoint endpoint() const { return m_acceptor.local_endpoint(); }

    // A raw client socket connected to an accepted socket.
    std::pair<tcp::socket, tcp::socket> rawPair()
    {
        tcp::socket client(io), server(io);
        client.connect(endpoint());
        m_acceptor.accept(server);
        return {std::move(server), std::move(client)};
    }

    // Both ends as connections; the client comes through AsyncConnect.
    std::pair<Ptr, Ptr> connectionPair()
    {
        std::promise<Ptr> connected;
        SttSocketConnection::AsyncConnect(io, endpoint(),
                                          [&connected](const boost::system::error_code &, Ptr c) {
                                              connected.set_value(c);
                                          });
        tcp::socket server(io);
        m_acceptor.accept(server);
        Ptr client = connected.get_future().get();
        return {Ptr(new SttSocketConnection(std::move(server)), false), client};
    }

    boost::asio::io_context io;

private:
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
    tcp::acceptor m_acceptor;
    std::thread m_thread;
};

constexpr int kWaitMs = 20000;

} // namespace

class TestSocket : public QObject
{
    Q_OBJECT

private slots:
    void transmitDataGrowsInGranules();
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void cutterFrameBoundaries_data();
    void cutterFrameBoundaries();
    void cutterFrameLengthLimit();
    void cutterRejects_data();
    void cutterRejects();

    void roundTrips_data();
    void roundTrips();
    void frameBoundariesOverLoopback();
    void badStreamsEndInTheErrorCallback_data();
    void badStreamsEndInTheErrorCallback();
    void sendingNeedsAConnection();
    void framesFromSeveralThreadsKeepEachSendersOrder();
    void failedWriteClosesAndIsLogged();
    void closeInsideTheCallbackStopsDelivery();
    void connectToNothingFails();
    void shutdownEndsReceiving();
};

void TestSocket::transmitDataGrowsInGranules()
{
    auto *data = new CSttTransmitData(QByteArray("abc").constData(), 3);
    QCOMPARE(data->RefCount(), 1);
    QCOMPARE(data->Capacity(), std::size_t(8192));
    QVERIFY(data->Append(QByteArray(8189, 'x').constData(), 8189));
    QCOMPARE(data->Size(), std::size_t(8192));
    QCOMPARE(data->Capacity(), std::size_t(8192));
    QVERIFY(data->Append("yz", 2));
    QCOMPARE(data->Capacity(), std::size_t(16384));
    data->DropFront(8190);
    QCOMPARE(QByteArray(data->Data(), int(data->Size())), QByteArray("xxyz"));
    data->AddRef();
    data->Release();
    QCOMPARE(data->RefCount(), 1);
    data->DropFront(100);
    QCOMPARE(data->Size(), std::size_t(0));
    data->Release();

    CSttTransmitData empty(std::size_t(0));
    QCOMPARE(empty.Capacity(), std::size_t(8192));
}

void TestSocket::encode_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected"); // the frame with its body still plain
    QTest::addColumn<int>("plainBytes");      // frame bytes not enciphered

    const QByteArray body20("twenty bytes of body");
    QTest::newRow("plain") << message("abcd", false) << QByteArray::fromHex("0c000000") + message("abcd", false) << 16;
    // A plain message keeps the length field its sender wrote.
    QTest::newRow("plain, field as sent") << message("abcd", false, 99)
                                          << QByteArray::fromHex("0c000000") + message("abcd", false, 99) << 16;
    QTest::newRow("too short for a header") << QByteArray("\x01\x02\x03", 3)
                                            << QByteArray::fromHex("03000000010203") << 7;
    QTest::newRow("enciphered, body 20: frame 44, length 40")
        << message(body20, true)
        << QByteArray::fromHex("28000000") + message(body20 + QByteArray(12, '\0'), true) << 12;
    QTest::newRow("enciphered, body 16") << message(QByteArray(16, 'q'), true)
                                         << QByteArray::fromHex("18000000") + message(QByteArray(16, 'q'), true) << 12;
    QTest::newRow("enciphered, empty body") << message(QByteArray(), true)
                                            << QByteArray::fromHex("08000000") + message(QByteArray(), true) << 12;
    QTest::newRow("enciphered, field as sent")
        << message("x", true, 3) << QByteArray::fromHex("18000000") + message("x" + QByteArray(15, '\0'), true) << 12;
}

void TestSocket::encode()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QFETCH(int, plainBytes);
    const QByteArray frame = frameBytes(SttEncodeMessage(input.constData(), std::size_t(input.size())));
    QCOMPARE(frame.size(), expected.size());
    QCOMPARE(frame.left(plainBytes).toHex(), expected.left(plainBytes).toHex());

    QByteArray body = expected.mid(plainBytes);
    SttAES peer(kPeerKey.constData(), kPeerKey.size());
    QVERIFY(peer.Encrypt(body.data(), body.constData(), unsigned(body.size())));
    QCOMPARE(frame.mid(plainBytes).toHex(), body.toHex());
}

void TestSocket::decode_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected"); // empty: invalid

    QTest::newRow("plain") << message("hello", false) << message("hello", false);
    QTest::newRow("plain header only") << message(QByteArray(), false) << message(QByteArray(), false);
    QTest::newRow("shorter than a header") << QByteArray::fromHex("07000000000000") << QByteArray();
    QTest::newRow("field larger") << message("hello", false, 14) << QByteArray();
    QTest::newRow("field smaller") << message("hello", false, 12) << QByteArray();
    QTest::newRow("enciphered, partial block") << message(QByteArray(20, 'b'), true) << QByteArray();

    QByteArray block(16, 'k');
    SttAES peer(kPeerKey.constData(), kPeerKey.size());
    QByteArray enciphered = block;
    QVERIFY(peer.Encrypt(enciphered.data(), enciphered.constData(), 16));
    QTest::newRow("enciphered") << message(enciphered, true) << message(block, true);
    QTest::newRow("enciphered, empty body") << message(QByteArray(), true) << message(QByteArray(), true);
}

void TestSocket::decode()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QByteArray buffer = input;
    char *result = SttDecodeMessage(buffer.data(), std::size_t(buffer.size()));
    if (expected.isEmpty()) {
        QVERIFY(!result);
        return;
    }
    QCOMPARE(static_cast<void *>(result), static_cast<void *>(buffer.data()));
    QCOMPARE(buffer.toHex(), expected.toHex());
}

void TestSocket::cutterFrameBoundaries_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<std::vector<int>>("cuts");          // feed sizes
    QTest::addColumn<std::vector<int>>("messagesAfter"); // messages seen after each feed

    const QByteArray a = frameOf(message("first", false));
    const QByteArray b = frameOf(message("second!", false));
    QTest::newRow("two frames in one read") << a + b << std::vector<int>{a.size() + b.size()}
                                            << std::vector<int>{2};
    QTest::newRow("one frame over three reads") << a << std::vector<int>{3, 6, a.size() - 9}
                                                << std::vector<int>{0, 0, 1};
    QTest::newRow("length alone, then the rest") << a << std::vector<int>{4, a.size() - 4}
                                                 << std::vector<int>{0, 1};
    QTest::newRow("frame and a half, then the rest")
        << a + b << std::vector<int>{a.size() + 5, b.size() - 5} << std::vector<int>{1, 2};
    QTest::newRow("byte by byte") << a << std::vector<int>(std::size_t(a.size()), 1)
                                  << [&] { std::vector<int> v(std::size_t(a.size()), 0); v.back() = 1; return v; }();
}

void TestSocket::cutterFrameBoundaries()
{
    QFETCH(QByteArray, stream);
    QFETCH(std::vector<int>, cuts);
    QFETCH(std::vector<int>, messagesAfter);

    SttFrameCutter cutter;
    QList<QByteArray> seen;
    int offset = 0;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        QByteArray piece = stream.mid(offset, cuts[i]);
        offset += cuts[i];
        const auto error = cutter.Feed(piece.data(), std::size_t(piece.size()),
                                       [&seen](const char *m, std::size_t n) { seen << QByteArray(m, int(n)); });
        QVERIFY(!error);
        QCOMPARE(seen.size(), messagesAfter[i]);
    }
    QCOMPARE(cutter.Kept(), std::size_t(0));
    QByteArray joined;
    for (const QByteArray &m : seen)
        joined += frameOf(m);
    QCOMPARE(joined, stream);
}

void TestSocket::cutterFrameLengthLimit()
{
    // 104857600 is the largest frame length accepted.
    const std::size_t limit = 104857600;
    std::vector<char> big(limit + 4, 'v');
    const QByteArray head = le32(quint32(limit)) + message(QByteArray(), false, qint64(limit));
    std::copy(head.begin(), head.end(), big.begin());
    SttFrameCutter cutter;
    std::size_t got = 0;
    QVERIFY(!cutter.Feed(big.data(), big.size(), [&got](const char *, std::size_t n) { got = n; }));
    QCOMPARE(got, limit);
    QCOMPARE(cutter.Kept(), std::size_t(0));

    // One above stops the stream before its body is awaited.
    SttFrameCutter over;
    QByteArray header = le32(quint32(limit + 1)) + "x";
    int calls = 0;
    const auto error = over.Feed(header.data(), std::size_t(header.size()), [&calls](const char *, std::size_t) { ++calls; });
    QCOMPARE(error, boost::system::errc::make_error_code(boost::system::errc::message_size));
    QCOMPARE(calls, 0);
}

void TestSocket::cutterRejects_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<int>("messagesBefore");
    QTest::addColumn<int>("errc");

    const QByteArray good = frameOf(message("ok", false));
    QTest::newRow("length field disagrees") << good + le32(12) + message("abcd", false, 13) << 1
                                            << int(boost::system::errc::bad_message);
    QTest::newRow("frame shorter than a header") << le32(5) + QByteArray("abcde") << 0
                                                 << int(boost::system::errc::bad_message);
    QTest::newRow("enciphered partial block") << frameOf(message("abc", true)) << 0
                                              << int(boost::system::errc::bad_message);
    QTest::newRow("garbage length") << good + QByteArray::fromHex("ffffffff00") << 1
                                    << int(boost::system::errc::message_size);
}

void TestSocket::cutterRejects()
{
    QFETCH(QByteArray, stream);
    QFETCH(int, messagesBefore);
    QFETCH(int, errc);
    SttFrameCutter cutter;
    int calls = 0;
    const auto error = cutter.Feed(stream.data(), std::size_t(stream.size()), [&calls](const char *, std::size_t) { ++calls; });
    QCOMPARE(error, boost::system::errc::make_error_code(boost::system::errc::errc_t(errc)));
    QCOMPARE(calls, messagesBefore);
}

void TestSocket::roundTrips_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("received");

    QTest::newRow("plain") << message("plain text", false) << message("plain text", false);
    QTest::newRow("plain, 100 KiB") << message(QByteArray(100 * 1024, 'p'), false)
                                    << message(QByteArray(100 * 1024, 'p'), false);
    const QByteArray body20("twenty bytes of body");
    // The receiver sees the padded body and the padded length.
    QTest::newRow("enciphered, body 20") << message(body20, true)
                                         << message(body20 + QByteArray(12, '\0'), true);
    QTest::newRow("enciphered, 64 KiB") << message(QByteArray(65536, 'e'), true)
                                        << message(QByteArray(65536, 'e'), true);
}

void TestSocket::roundTrips()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, received);
    Loopback net;
    auto ends = net.connectionPair();
    Ptr server = ends.first, client = ends.second;
    QCOMPARE(server->State(), 2);
    QCOMPARE(client->State(), 2);
    Inbox serverInbox, clientInbox;
    serverInbox.attach(*server);
    clientInbox.attach(*client);
    server->StartRead();
    client->StartRead();

    QCOMPARE(client->SendMessage(sent.constData(), std::size_t(sent.size())), 1);
    QCOMPARE(server->SendMessage(sent.constData(), std::size_t(sent.size())), 1);
    QTRY_COMPARE_WITH_TIMEOUT(serverInbox.messageCount(), std::size_t(1), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(clientInbox.messageCount(), std::size_t(1), kWaitMs);
    QCOMPARE(serverInbox.messages()[0].toHex(), received.toHex());
    QCOMPARE(clientInbox.messages()[0].toHex(), received.toHex());
    QTRY_COMPARE_WITH_TIMEOUT(client->SendsPending(), 0, kWaitMs);
    QCOMPARE(client->BytesPending(), 0LL);
    QCOMPARE(serverInbox.errorCount(), std::size_t(0));

    client->Close();
    server->Close();
    QCOMPARE(client->State(), 0);
}

void TestSocket::frameBoundariesOverLoopback()
{
    Loopback net;
    auto raw = net.rawPair();
    Ptr server(new SttSocketConnection(std::move(raw.first)), false);
    tcp::socket &peer = raw.second;
    Inbox inbox;
    inbox.attach(*server);
    server->StartRead();

    const QByteArray a = frameOf(message("alpha", false));
    const QByteArray b = frameOf(message("beta", false));
    boost::asio::write(peer, boost::asio::buffer((a + b).constData(), std::size_t(a.size() + b.size())));
    QTRY_COMPARE_WITH_TIMEOUT(inbox.messageCount(), std::size_t(2), kWaitMs);

    const QByteArray c = frameOf(message(QByteArray(30000, 'c'), false));
    for (int start : {0, 3, 20000}) {
        const int end = start == 0 ? 3 : start == 3 ? 20000 : c.size();
        boost::asio::write(peer, boost::asio::buffer(c.constData() + start, std::size_t(end - start)));
    }
    QTRY_COMPARE_WITH_TIMEOUT(inbox.messageCount(), std::size_t(3), kWaitMs);
    const auto messages = inbox.messages();
    QCOMPARE(messages[0], message("alpha", false));
    QCOMPARE(messages[1], message("beta", false));
    QCOMPARE(messages[2], message(QByteArray(30000, 'c'), false));
    QCOMPARE(inbox.errorCount(), std::size_t(0));
    server->Close();
}

void TestSocket::badStreamsEndInTheErrorCallback_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QString>("error");

    const QByteArray good = frameOf(message("fine", false));
    QTest::newRow("length field disagrees") << good + le32(12) + message("abcd", false, 13) << false << 1
                                            << "bad_message";
    QTest::newRow("frame length one above the limit") << le32(104857601) + QByteArray(100, 'z') << false << 0
                                                      << "message_size";
    QTest::newRow("garbage") << QByteArray::fromHex("0900000001020304050607080900aabbccdd") << false << 0
                             << "bad_message";
    QTest::newRow("peer closes mid-frame") << good + good.left(7) << true << 1 << "eof";
    QTest::newRow("peer closes at once") << QByteArray() << true << 0 << "eof";
}

void TestSocket::badStreamsEndInTheErrorCallback()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, closeAfter);
    QFETCH(int, messages);
    QFETCH(QString, error);

    Loopback net;
    auto raw = net.rawPair();
    Ptr server(new SttSocketConnection(std::move(raw.first)), false);
    Inbox inbox;
    inbox.attach(*server);
    server->StartRead();
    if (!bytes.isEmpty())
        boost::asio::write(raw.second, boost::asio::buffer(bytes.constData(), std::size_t(bytes.size())));
    if (closeAfter)
        raw.second.close();

    QTRY_COMPARE_WITH_TIMEOUT(inbox.errorCount(), std::size_t(1), kWaitMs);
    boost::system::error_code expected;
    if (error == "eof")
        expected = boost::asio::error::eof;
    else if (error == "message_size")
        expected = boost::system::errc::make_error_code(boost::system::errc::message_size);
    else
        expected = boost::system::errc::make_error_code(boost::system::errc::bad_message);
    QCOMPARE(inbox.errors()[0], expected);
    QCOMPARE(int(inbox.messageCount()), messages);
    // No read is left holding the connection: only the test's reference.
    QTRY_COMPARE_WITH_TIMEOUT(server->RefCount(), 1, kWaitMs);
    server->Close();
    QTRY_COMPARE_WITH_TIMEOUT(server->RefCount(), 1, kWaitMs);
    QCOMPARE(inbox.errorCount(), std::size_t(1));
}

void TestSocket::sendingNeedsAConnection()
{
    Loopback net;
    const int inFlight = SttSocketConnection::FramesInFlight();
    Ptr unopened(new SttSocketConnection(tcp::socket(net.io)), false);
    QCOMPARE(unopened->State(), 0);
    CSttTransmitData *frame = SttEncodeMessage(message("x", false).constData(), 9);
    QCOMPARE(unopened->SendFrame(frame), -1);
    QCOMPARE(unopened->SendMessage(message("x", false).constData(), 9), -1);
    QCOMPARE(frame->RefCount(), 1);
    QCOMPARE(unopened->SendsPending(), 0);
    QCOMPARE(unopened->BytesPending(), 0LL);
    QCOMPARE(SttSocketConnection::FramesInFlight(), inFlight);
    QCOMPARE(unopened->SendFrame(nullptr), -1);

    auto ends = net.connectionPair();
    ends.second->Close();
    QCOMPARE(ends.second->SendFrame(frame), -1);
    QCOMPARE(frame->RefCount(), 1);
    frame->Release();
    ends.first->Close();
}

void TestSocket::framesFromSeveralThreadsKeepEachSendersOrder()
{
    Loopback net;
    auto ends = net.connectionPair();
    Ptr server = ends.first, client = ends.second;
    Inbox inbox;
    inbox.attach(*server);
    server->StartRead();

    const int senders = 4;
    const int perSender = 1500;
    auto body = [](int s, int i) {
        QByteArray b = QByteArray::number(s) + ':' + QByteArray::number(i) + ':';
        return b + QByteArray((s * 977 + i * 131) % 9000, char('a' + (i % 26)));
    };
    std::vector<std::thread> threads;
    std::atomic<int> refused{0};
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&, s] {
            for (int i = 0; i < perSender; ++i) {
                const QByteArray m = message(body(s, i), i % 3 == 0);
                if (client->SendMessage(m.constData(), std::size_t(m.size())) != 1)
                    ++refused;
            }
        });
    }
    for (auto &t : threads)
        t.join();
    QCOMPARE(refused.load(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(inbox.messageCount(), std::size_t(senders * perSender), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(client->SendsPending(), 0, kWaitMs);
    QCOMPARE(client->BytesPending(), 0LL);

    std::vector<int> next(senders, 0);
    for (const QByteArray &m : inbox.messages()) {
        QVERIFY(m.size() >= 8);
        QByteArray b = m.mid(8);
        const bool enciphered = m[6] != 0;
        if (enciphered) {
            while (b.endsWith('\0'))
                b.chop(1);
        }
        const QList<QByteArray> parts = b.split(':');
        QCOMPARE(parts.size(), 3);
        const int s = parts[0].toInt();
        const int i = parts[1].toInt();
        QCOMPARE(i, next[std::size_t(s)]++);
        QCOMPARE(b, body(s, i));
        QCOMPARE(enciphered, i % 3 == 0);
    }
    QCOMPARE(inbox.errorCount(), std::size_t(0));
    client->Close();
    server->Close();
}

void TestSocket::failedWriteClosesAndIsLogged()
{
    testsupport::TempEnvironment env;
    QVERIFY(QDir().mkpath("log"));
    Loopback net;
    auto raw = net.rawPair();
    Ptr client(new SttSocketConnection(std::move(raw.first)), false);
    Inbox inbox;
    inbox.attach(*client);
    // The peer goes away with unread data, so the writes meet a reset.
    boost::asio::write(raw.second, boost::asio::buffer("junk", 4));
    raw.second.set_option(boost::asio::socket_base::linger(true, 0));
    raw.second.close();

    const QByteArray m = message(QByteArray(1000, 'w'), false);
    QTRY_VERIFY_WITH_TIMEOUT(client->SendMessage(m.constData(), std::size_t(m.size())) == -1, kWaitMs);
    QCOMPARE(client->State(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(inbox.errorCount() >= 1, kWaitMs);
    const auto first = inbox.errors()[0];
    QVERIFY2(first == boost::asio::error::broken_pipe || first == boost::asio::error::connection_reset,
             first.message().c_str());
    QTRY_COMPARE_WITH_TIMEOUT(client->SendsPending(), 0, kWaitMs);

    // "msg:<frame>, error:<code>, <text>" in ./log/<MM-dd_hh>OnSendedError.log.
    TextLogManager &log = TextLogManager::Instance();
    const unsigned target = log.CompletedRounds() + 2;
    QTRY_VERIFY_WITH_TIMEOUT(log.CompletedRounds() >= target, kWaitMs);
    const QStringList files = QDir("log").entryList({"*OnSendedError.log"}, QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression("^[0-9]{2}-[0-9]{2}_[0-9]{2}OnSendedError\\.log$").match(files[0]).hasMatch());
    QFile f("log/" + files[0]);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(f.readAll());
    const QString expectedText = QStringLiteral("msg:0x[0-9a-f]+, error:%1, %2")
                                     .arg(first.value())
                                     .arg(QRegularExpression::escape(QString::fromStdString(first.message())));
    QVERIFY2(QRegularExpression(expectedText).match(text).hasMatch(), qPrintable(text));
    client->Close();
}

void TestSocket::closeInsideTheCallbackStopsDelivery()
{
    Loopback net;
    auto raw = net.rawPair();
    Ptr server(new SttSocketConnection(std::move(raw.first)), false);
    std::atomic<int> calls{0};
    SttSocketConnection *self = server.get();
    server->SetReceiveCallback([&calls, self](const char *, std::size_t) {
        ++calls;
        self->Close();
    });
    server->StartRead();
    const QByteArray three = frameOf(message("1", false)) + frameOf(message("2", false)) + frameOf(message("3", false));
    boost::asio::write(raw.second, boost::asio::buffer(three.constData(), std::size_t(three.size())));
    QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 1, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(server->RefCount(), 1, kWaitMs);
    QCOMPARE(calls.load(), 1);
    QCOMPARE(server->State(), 0);
}

void TestSocket::connectToNothingFails()
{
    Loopback net;
    tcp::endpoint nowhere;
    {
        tcp::acceptor probe(net.io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
        nowhere = probe.local_endpoint();
    }
    std::promise<std::pair<boost::system::error_code, Ptr>> result;
    SttSocketConnection::AsyncConnect(net.io, nowhere, [&result](const boost::system::error_code &e, Ptr c) {
        result.set_value({e, c});
    });
    auto r = result.get_future().get();
    QCOMPARE(r.first, boost::system::error_code(boost::asio::error::connection_refused));
    QVERIFY(!r.second);
}

void TestSocket::shutdownEndsReceiving()
{
    Loopback net;
    Ptr unopened(new SttSocketConnection(tcp::socket(net.io)), false);
    QVERIFY(unopened->Shutdown());

    auto raw = net.rawPair();
    Ptr server(new SttSocketConnection(std::move(raw.first)), false);
    Inbox inbox;
    inbox.attach(*server);
    server->StartRead();
    QVERIFY(!server->Shutdown());
    QTRY_COMPARE_WITH_TIMEOUT(inbox.errorCount(), std::size_t(1), kWaitMs);
    QCOMPARE(inbox.errors()[0], boost::system::error_code(boost::asio::error::eof));
    // Sending still works: only the receiving direction is shut.
    QCOMPARE(server->State(), 2);
    server->Close();
}

QTEST_GUILESS_MAIN(TestSocket)
#include "tst_socket.moc"
