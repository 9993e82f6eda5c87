#include "ChatLogFile.h"

#include "UserTempFolder.h"

#include <QDir>
#include <QStringBuilder>

const char *const ChatLogFile::kFileName = "chatMsg.txt";

namespace {

QString stamp(const QDateTime &now)
{
    return now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

QString ChatLogFile::defaultPath()
{
    // The daily log's own folder, so that both sit together for this user.
    const QString folder = userTempFolder(QDir::tempPath() + QStringLiteral("/MorvaShow"));
    if (folder.isEmpty())
        return QString();
    return folder + QLatin1Char('/') + QLatin1String(kFileName);
}

ChatLogFile::~ChatLogFile()
{
    if (m_file.isOpen())
        m_file.close();
}

QString ChatLogFile::firstLine(const QDateTime &now)
{
    return QStringLiteral("本次消息记录(开始时间：%1)\n").arg(stamp(now));
}

QString ChatLogFile::messageLine(const QString &name, const QString &content, const QString &stamp)
{
    // Built in one allocation.
    return name % QLatin1String("  ") % stamp % QLatin1String("  ") % content % QLatin1Char('\n');
}

QString ChatLogFile::stampNow()
{
    const qint64 second = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (second != m_stampSecond) {
        m_stampSecond = second;
        m_stamp = stamp(QDateTime::fromMSecsSinceEpoch(second * 1000));
    }
    return m_stamp;
}

bool ChatLogFile::open(const QString &path)
{
    if (m_file.isOpen())
        m_file.close();
    if (path.isEmpty())
        return false;
    m_file.setFileName(path);
    // Unbuffered: each line goes to the file in one write, flushed as written.
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text | QIODevice::Unbuffered))
        return false;
    write(firstLine(QDateTime::currentDateTime()));
    return true;
}

void ChatLogFile::append(const QString &name, const QString &content)
{
    if (m_file.isOpen())
        write(messageLine(name, content, stampNow()));
}

void ChatLogFile::write(const QString &line)
{
    m_file.write(line.toUtf8());
}

void ChatLogFile::truncateAndClose()
{
    if (!m_file.isOpen())
        return;
    m_file.resize(0);
    m_file.close();
}
