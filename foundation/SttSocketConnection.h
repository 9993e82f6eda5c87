#pragma once

#include "SttMessageCodec.h"
#include "SttRefData.h"
#include "SttTransmitData.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/strand.hpp>
#include <boost/intrusive_ptr.hpp>
#include <boost/system/error_code.hpp>

#include <atomic>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// A message connection: frames out through an ordered queue, messages in
// through a callback.
class ISttConnection : public CSttRefData
{
public:
    static constexpr int StateClosed = 0;
    static constexpr int StateConnected = 2;

    // The message points into the connection's buffer and is valid during
    // the call only.
    using ReceiveCallback = std::function<void(const char *message, std::size_t length)>;
    using ErrorCallback = std::function<void(const boost::system::error_code &error)>;

    int State() const { return m_state; }
    int SendsPending() const { return m_sendsPending; }
    long long BytesPending() const { return m_bytesPending; }

    // Set them before StartRead. After Close neither is called again.
    void SetReceiveCallback(ReceiveCallback callback);
    void SetErrorCallback(ErrorCallback callback);

    // Encodes and queues one message: 1, or -1 when not connected or the
    // message is too long for a frame.
    virtual int SendMessage(const void *message, std::size_t length) = 0;
    // Queues a frame (taking a reference): 1, or -1 when not connected.
    virtual int SendFrame(CSttTransmitData *frame) = 0;
    virtual void StartRead() = 0;
    // Stops receiving; true when that failed.
    virtual bool Shutdown() = 0;
    // Clears both callbacks and closes the socket; the state becomes 0.
    virtual void Close() = 0;

protected:
    ISttConnection() = default;

    std::atomic<int> m_state{StateClosed};
    std::atomic<int> m_sendsPending{0};
    std::atomic<long long> m_bytesPending{0};
    // Held while callbacks run, so that Close on another thread waits for a
    // running callback and none starts after it.
    std::recursive_mutex m_callbackMutex;
    ReceiveCallback m_onReceive;
    ErrorCallback m_onError;
};

// The connection over one TCP socket. Socket operations run on a strand of
// the socket's io_context; every outstanding operation holds a reference, so
// the object outlives its handlers.
class SttSocketConnection : public ISttConnection
{
public:
    using tcp = boost::asio::ip::tcp;
    using Ptr = boost::intrusive_ptr<SttSocketConnection>;
    using ConnectHandler = std::function<void(const boost::system::error_code &, Ptr)>;

    static constexpr std::size_t ReceiveBufferBytes = 8196;
    // Limits of one gathered write.
    static constexpr std::size_t MaxFramesPerWrite = 64;
    static constexpr std::size_t MaxBytesPerWrite = 256 * 1024;

    // Takes an accepted or connected socket: the state is 2 at once when the
    // socket is open, 0 otherwise.
    explicit SttSocketConnection(tcp::socket socket);
    ~SttSocketConnection() override;

    // Connects to the endpoint; the handler gets a connection in state 2 (or
    // the error and null), with no callbacks set and no read started.
    static void AsyncConnect(boost::asio::io_context &io, const tcp::endpoint &endpoint,
                             ConnectHandler handler);

    int SendMessage(const void *message, std::size_t length) override;
    int SendFrame(CSttTransmitData *frame) override;
    void StartRead() override;
    bool Shutdown() override;
    void Close() override;

    // Frames queued or being written over all connections.
    static int FramesInFlight();

private:
    void StartNextWriteLocked();
    void OnWritten(const std::vector<CSttTransmitData *> &frames, const boost::system::error_code &error);
    void OnRead(const boost::system::error_code &error, std::size_t length);
    void ReportError(const boost::system::error_code &error);
    void Uncount(const CSttTransmitData *frame);

    tcp::socket m_socket;
    boost::asio::strand<tcp::socket::executor_type> m_strand;
    std::deque<CSttTransmitData *> m_queue;
    bool m_writing = false;
    std::atomic<bool> m_reading{false};
    std::atomic<bool> m_closed{false};
    char m_receive[ReceiveBufferBytes];
    SttFrameCutter m_cutter;
    std::mutex m_mutex;
};
