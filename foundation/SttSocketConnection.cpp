#include "SttSocketConnection.h"

#include "TextLog.h"

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/write.hpp>

#include <memory>
#include <vector>

namespace {

std::atomic<int> g_framesInFlight{0};

// The frames of one write; released when the write's handler is gone, even
// when it never ran.
struct FrameBatch
{
    std::vector<CSttTransmitData *> frames;
    ~FrameBatch()
    {
        for (CSttTransmitData *frame : frames)
            frame->Release();
    }
};

} // namespace

void ISttConnection::SetReceiveCallback(ReceiveCallback callback)
{
    std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
    m_onReceive = std::move(callback);
}

void ISttConnection::SetErrorCallback(ErrorCallback callback)
{
    std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
    m_onError = std::move(callback);
}

SttSocketConnection::SttSocketConnection(tcp::socket socket)
    : m_socket(std::move(socket))
    , m_strand(boost::asio::make_strand(m_socket.get_executor()))
{
    m_state = m_socket.is_open() ? StateConnected : StateClosed;
}

SttSocketConnection::~SttSocketConnection()
{
    for (CSttTransmitData *frame : m_queue) {
        --g_framesInFlight;
        frame->Release();
    }
    boost::system::error_code ignored;
    m_socket.close(ignored);
}

void SttSocketConnection::AsyncConnect(boost::asio::io_context &io, const tcp::endpoint &endpoint,
                                       ConnectHandler handler)
{
    auto socket = std::make_shared<tcp::socket>(io);
    socket->async_connect(endpoint, [socket, handler](const boost::system::error_code &error) {
        if (error) {
            handler(error, Ptr());
            return;
        }
        handler(error, Ptr(new SttSocketConnection(std::move(*socket)), false));
    });
}

int SttSocketConnection::FramesInFlight()
{
    return g_framesInFlight;
}

int SttSocketConnection::SendMessage(const void *message, std::size_t length)
{
    if (m_state != StateConnected)
        return -1;
    CSttTransmitData *frame = SttEncodeMessage(message, length);
    if (!frame)
        return -1;
    const int result = SendFrame(frame);
    frame->Release();
    return result;
}

int SttSocketConnection::SendFrame(CSttTransmitData *frame)
{
    if (!frame || m_state != StateConnected)
        return -1;
    std::lock_guard<std::mutex> lock(m_mutex);
    frame->AddRef();
    m_queue.push_back(frame);
    ++m_sendsPending;
    m_bytesPending += static_cast<long long>(frame->Size());
    ++g_framesInFlight;
    StartNextWriteLocked();
    return 1;
}

void SttSocketConnection::StartNextWriteLocked()
{
    if (m_queue.empty() || m_writing || m_state != StateConnected)
        return;
    // The frames waiting at this moment go out in one gathered write, in
    // queue order: still one write in flight, but not one system call per
    // small frame. The batch owns the queue's references from here on.
    auto batch = std::make_shared<FrameBatch>();
    std::vector<boost::asio::const_buffer> buffers;
    std::size_t bytes = 0;
    while (!m_queue.empty() && batch->frames.size() < MaxFramesPerWrite
           && (batch->frames.empty() || bytes + m_queue.front()->Size() <= MaxBytesPerWrite)) {
        CSttTransmitData *frame = m_queue.front();
        m_queue.pop_front();
        batch->frames.push_back(frame);
        buffers.emplace_back(frame->Data(), frame->Size());
        bytes += frame->Size();
    }
    m_writing = true;
    Ptr self(this);
    boost::asio::dispatch(m_strand, [self, batch, buffers = std::move(buffers)] {
        boost::asio::async_write(
            self->m_socket, buffers,
            boost::asio::bind_executor(self->m_strand,
                                       [self, batch](const boost::system::error_code &error, std::size_t) {
                                           self->OnWritten(batch->frames, error);
                                       }));
    });
}

void SttSocketConnection::OnWritten(const std::vector<CSttTransmitData *> &frames,
                                    const boost::system::error_code &error)
{
    // A write cut off by our own Close is no failure to report.
    if (error && !m_closed) {
        ReportError(error);
        m_state = StateClosed;
        for (CSttTransmitData *frame : frames) {
            WriteTextLogFile("./log/OnSendedError.log", 4, "msg:%p, error:%d, %s",
                             static_cast<void *>(frame), error.value(), error.message().c_str());
        }
    }
    for (CSttTransmitData *frame : frames)
        Uncount(frame);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writing = false;
    if (m_state != StateConnected) {
        // Nothing queued can be written any more.
        for (CSttTransmitData *queued : m_queue) {
            Uncount(queued);
            queued->Release();
        }
        m_queue.clear();
        return;
    }
    StartNextWriteLocked();
}

void SttSocketConnection::Uncount(const CSttTransmitData *frame)
{
    --m_sendsPending;
    m_bytesPending -= static_cast<long long>(frame->Size());
    --g_framesInFlight;
}

void SttSocketConnection::StartRead()
{
    // One read at a time: a second would share the receive buffer.
    if (m_closed || m_reading.exchange(true))
        return;
    Ptr self(this);
    boost::asio::dispatch(m_strand, [self] {
        self->m_socket.async_read_some(
            boost::asio::buffer(self->m_receive, ReceiveBufferBytes),
            boost::asio::bind_executor(self->m_strand,
                                       [self](const boost::system::error_code &error, std::size_t n) {
                                           self->OnRead(error, n);
                                       }));
    });
}

void SttSocketConnection::OnRead(const boost::system::error_code &error, std::size_t length)
{
    m_reading = false;
    if (m_closed)
        return;
    if (error) {
        ReportError(error);
        return;
    }
    boost::system::error_code cutError;
    {
        std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
        // A copy, so that a callback may close the connection under itself.
        const ReceiveCallback onReceive = m_onReceive;
        cutError = m_cutter.Feed(m_receive, length, [this, &onReceive](const char *message, std::size_t n) {
            if (onReceive && !m_closed)
                onReceive(message, n);
        });
    }
    if (cutError) {
        // The stream cannot be cut any further: report and read no more.
        ReportError(cutError);
        return;
    }
    StartRead();
}

void SttSocketConnection::ReportError(const boost::system::error_code &error)
{
    std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
    if (m_closed || !m_onError)
        return;
    const ErrorCallback onError = m_onError;
    onError(error);
}

bool SttSocketConnection::Shutdown()
{
    boost::system::error_code error;
    m_socket.shutdown(tcp::socket::shutdown_receive, error);
    return bool(error);
}

void SttSocketConnection::Close()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_callbackMutex);
        m_closed = true;
        m_onReceive = nullptr;
        m_onError = nullptr;
    }
    m_state = StateClosed;
    Ptr self(this);
    boost::asio::dispatch(m_strand, [self] {
        boost::system::error_code ignored;
        self->m_socket.close(ignored);
    });
}
