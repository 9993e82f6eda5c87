#include "RtmpReceiver.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QThread>

namespace testsupport {

namespace {

// Whether /proc/net/tcp lists a socket listening on 127.0.0.1:port.
bool loopbackListens(quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    // Local address in hex, little-endian on x86: 0100007F is 127.0.0.1; state 0A is LISTEN.
    const QByteArray local = QByteArrayLiteral("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 3 && fields.at(1) == local && fields.at(3) == "0A")
            return true;
    }
    return false;
}

} // namespace

RtmpReceiver::RtmpReceiver(const QString &file) : m_file(file) {}

RtmpReceiver::~RtmpReceiver()
{
    kill();
}

bool RtmpReceiver::start()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return false;
    m_port = probe.serverPort();
    probe.close();
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("ffmpeg"),
                    {"-nostdin", "-loglevel", "error", "-listen", "1", "-i",
                     QString::fromStdString(url()), "-c", "copy", "-flush_packets", "1", "-f", "flv", "-y",
                     m_file});
    return m_process.waitForStarted(10000);
}

std::string RtmpReceiver::url() const
{
    return "rtmp://127.0.0.1:" + std::to_string(m_port) + "/live/s";
}

bool RtmpReceiver::waitUntilListening(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (isRunning() && timer.elapsed() < ms) {
        if (loopbackListens(m_port))
            return true;
        // Another process: nothing to wait on but time.
        QThread::msleep(20);
    }
    return false;
}

bool RtmpReceiver::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

void RtmpReceiver::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

bool RtmpReceiver::waitForEnd(int ms)
{
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
}

const std::vector<RtmpReceiver::VideoTag> &RtmpReceiver::videoReceived()
{
    constexpr qint64 kFileHeader = 9 + 4; // signature, flags, offset; the first back-pointer
    constexpr qint64 kTagHeader = 11;
    if (!m_reading.isOpen()) {
        m_reading.setFileName(m_file);
        if (!m_reading.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) // it grows meanwhile
            return m_videoTags;
        m_readOffset = kFileHeader;
    }
    for (;;) {
        if (!m_reading.seek(m_readOffset))
            break;
        const QByteArray head = m_reading.read(kTagHeader + 2);
        if (head.size() < kTagHeader + 2)
            break;
        const auto byte = [&head](int i) { return qint64(quint8(head.at(i))); };
        const qint64 size = byte(1) << 16 | byte(2) << 8 | byte(3);
        if (m_reading.size() < m_readOffset + kTagHeader + size + 4)
            break; // not all there yet
        const qint64 ms = byte(7) << 24 | byte(4) << 16 | byte(5) << 8 | byte(6);
        // Video: frame type in the high nibble (1 = key), then the AVC
        // packet type (0 = the codec's header).
        if ((byte(0) & 0x1f) == 9 && size >= 2 && byte(12) != 0)
            m_videoTags.push_back({ms, (byte(11) >> 4) == 1});
        m_readOffset += kTagHeader + size + 4;
    }
    return m_videoTags;
}

} // namespace testsupport
