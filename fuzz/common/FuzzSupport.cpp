#include "FuzzSupport.h"

#include "TempEnvironment.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkRequest>

#include <cstring>

namespace fuzzsupport {

namespace {

void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

void startApplication()
{
    if (QCoreApplication::instance())
        return;
    // Qt keeps the argument array for the life of the application; the
    // fuzzer's own arguments are none of its business.
    static int argc = 1;
    static char name[] = "morva-fuzz";
    static char *argv[] = {name, nullptr};
    // Never deleted: network threads of the objects under test may still
    // run when the fuzzer exits.
    new QCoreApplication(argc, argv);
    // The settings and scene stores sync every save to disk; in memory the
    // fuzzer tries many more inputs in its time.
    if (QFileInfo(QStringLiteral("/dev/shm")).isWritable())
        qputenv("TMPDIR", "/dev/shm");
    static testsupport::TempEnvironment env;
    qInstallMessageHandler(dropMessage);
}

void deleteLaterObjects()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

BufferReply::BufferReply(const QUrl &url, const QByteArray &body)
    : m_body(body)
{
    setUrl(url);
    setRequest(QNetworkRequest(url));
    setOperation(QNetworkAccessManager::GetOperation);
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, 200);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    setFinished(true);
}

qint64 BufferReply::bytesAvailable() const
{
    return m_body.size() - m_read + QNetworkReply::bytesAvailable();
}

qint64 BufferReply::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin(maxSize, qint64(m_body.size()) - m_read);
    if (n <= 0)
        return -1; // the whole answer has been read
    std::memcpy(data, m_body.constData() + m_read, size_t(n));
    m_read += n;
    return n;
}

} // namespace fuzzsupport
