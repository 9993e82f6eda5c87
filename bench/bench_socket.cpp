// Messages per second over loopback through the connection stack, beside a
// plain boost.asio echo of the same bytes. A client sends a window of
// messages with one write in flight; the server sends every message back;
// an iteration ends when the whole window has come back. Client and server
// each run on an io_context of their own thread. Argument: message bytes.
#include "SttSocketConnection.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

#include <benchmark/benchmark.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using boost::asio::ip::tcp;

namespace {

class IoThread
{
public:
    IoThread()
        : m_work(boost::asio::make_work_guard(io))
        , m_thread([this] { io.run(); })
    {
    }
    ~IoThread()
    {
        m_work.reset();
        io.stop();
        m_thread.join();
    }
    boost::asio::io_context io;

private:
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> m_work;
    std::thread m_thread;
};

// A connected pair of sockets, the server one on its own io_context.
std::pair<tcp::socket, tcp::socket> connectedPair(IoThread &server, IoThread &client)
{
    tcp::acceptor acceptor(server.io, tcp::endpoint(boost::asio::ip::address_v4::loopback(), 0));
    tcp::socket c(client.io), s(server.io);
    c.connect(acceptor.local_endpoint());
    acceptor.accept(s);
    // Small frames go out at once on both ends, for both contestants.
    c.set_option(tcp::no_delay(true));
    s.set_option(tcp::no_delay(true));
    return {std::move(s), std::move(c)};
}

int windowFor(std::size_t bytes)
{
    return bytes <= 1024 ? 2048 : 64;
}

// A plain message of the given total length.
std::vector<char> makeMessage(std::size_t bytes)
{
    std::vector<char> m(bytes, 'm');
    const auto n = std::uint32_t(bytes);
    std::memcpy(m.data(), &n, 4);
    m[6] = 0;
    return m;
}

class Counter
{
public:
    void add(long n)
    {
        if (m_count.fetch_add(n) + n >= m_target.load()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_cv.notify_all();
        }
    }
    void expect(long more) { m_target = m_count.load() + more; }
    void wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this] { return m_count.load() >= m_target.load(); });
    }

private:
    std::atomic<long> m_count{0};
    std::atomic<long> m_target{0};
    std::mutex m_mutex;
    std::condition_variable m_cv;
};

void BM_SttSocketEcho(benchmark::State &state)
{
    const std::size_t bytes = std::size_t(state.range(0));
    const int window = windowFor(bytes);
    IoThread serverIo, clientIo;
    auto sockets = connectedPair(serverIo, clientIo);
    SttSocketConnection::Ptr server(new SttSocketConnection(std::move(sockets.first)), false);
    SttSocketConnection::Ptr client(new SttSocketConnection(std::move(sockets.second)), false);
    SttSocketConnection *echo = server.get();
    server->SetReceiveCallback([echo](const char *m, std::size_t n) { echo->SendMessage(m, n); });
    Counter received;
    client->SetReceiveCallback([&received](const char *, std::size_t) { received.add(1); });
    server->StartRead();
    client->StartRead();

    const std::vector<char> message = makeMessage(bytes);
    for (auto _ : state) {
        received.expect(window);
        for (int i = 0; i < window; ++i)
            client->SendMessage(message.data(), message.size());
        received.wait();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * window);
    client->Close();
    server->Close();
}

// The reference: the server writes back whatever it reads; the client
// writes the same frames one at a time and counts the bytes coming back.
class RawEchoServer
{
public:
    explicit RawEchoServer(tcp::socket s)
        : m_socket(std::move(s))
    {
    }
    void start()
    {
        m_socket.async_read_some(boost::asio::buffer(m_buffer), [this](const boost::system::error_code &e, std::size_t n) {
            if (e)
                return;
            boost::asio::async_write(m_socket, boost::asio::buffer(m_buffer, n),
                                     [this](const boost::system::error_code &e2, std::size_t) {
                                         if (!e2)
                                             start();
                                     });
        });
    }
    void close() { boost::asio::post(m_socket.get_executor(), [this] { m_socket.close(); }); }

private:
    tcp::socket m_socket;
    char m_buffer[SttSocketConnection::ReceiveBufferBytes];
};

class RawClient
{
public:
    RawClient(tcp::socket s, std::vector<char> frame, Counter &received)
        : m_socket(std::move(s))
        , m_frame(std::move(frame))
        , m_received(received)
    {
    }
    void startReading()
    {
        m_socket.async_read_some(boost::asio::buffer(m_buffer), [this](const boost::system::error_code &e, std::size_t n) {
            if (e)
                return;
            m_received.add(long(n));
            startReading();
        });
    }
    void send(int frames)
    {
        boost::asio::post(m_socket.get_executor(), [this, frames] { writeNext(frames); });
    }
    void close() { boost::asio::post(m_socket.get_executor(), [this] { m_socket.close(); }); }

private:
    void writeNext(int left)
    {
        if (left == 0)
            return;
        boost::asio::async_write(m_socket, boost::asio::buffer(m_frame),
                                 [this, left](const boost::system::error_code &e, std::size_t) {
                                     if (!e)
                                         writeNext(left - 1);
                                 });
    }

    tcp::socket m_socket;
    std::vector<char> m_frame;
    Counter &m_received;
    char m_buffer[SttSocketConnection::ReceiveBufferBytes];
};

void BM_PlainAsioEcho(benchmark::State &state)
{
    const std::size_t bytes = std::size_t(state.range(0));
    const int window = windowFor(bytes);
    IoThread serverIo, clientIo;
    auto sockets = connectedPair(serverIo, clientIo);
    std::vector<char> frame(4);
    const auto length = std::uint32_t(bytes);
    std::memcpy(frame.data(), &length, 4);
    const std::vector<char> message = makeMessage(bytes);
    frame.insert(frame.end(), message.begin(), message.end());

    Counter received;
    auto server = std::make_unique<RawEchoServer>(std::move(sockets.first));
    auto client = std::make_unique<RawClient>(std::move(sockets.second), frame, received);
    boost::asio::post(serverIo.io, [&] { server->start(); });
    boost::asio::post(clientIo.io, [&] { client->startReading(); });
    for (auto _ : state) {
        received.expect(long(window) * long(frame.size()));
        client->send(window);
        received.wait();
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * window);
    client->close();
    server->close();
    std::promise<void> s, c;
    boost::asio::post(serverIo.io, [&] { s.set_value(); });
    boost::asio::post(clientIo.io, [&] { c.set_value(); });
    s.get_future().wait();
    c.get_future().wait();
}

} // namespace

BENCHMARK(BM_SttSocketEcho)->Arg(64)->Arg(64 * 1024)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainAsioEcho)->Arg(64)->Arg(64 * 1024)->UseRealTime()->MinTime(2.0);

BENCHMARK_MAIN();
