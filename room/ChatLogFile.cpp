#include "ChatLogFile.h"

#include "UserTempFolder.h"

#include <QDir>

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

QString ChatLogFile::messageLine(const QString &name, const QString &content, const QDateTime &now)
{
    return name + QStringLiteral("  ") + stamp(now) + QStringLiteral("  ") + content + QLatin1Char('\n');
}

bool ChatLogFile::open(const QString &path, const QDateTime &now)
{
    if (m_file.isOpen())
        m_file.close();
    if (path.isEmpty())
        return false;
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    m_stream.setDevice(&m_file);
    m_stream.setCodec("UTF-8");
    write(firstLine(now));
    return true;
}

void ChatLogFile::append(const QString &name, const QString &content, const QDateTime &now)
{
    write(messageLine(name, content, now));
}

void ChatLogFile::write(const QString &line)
{
    if (!m_file.isOpen())
        return;
    m_stream << line;
    m_stream.flush();
}

void ChatLogFile::truncateAndClose()
{
    if (!m_file.isOpen())
        return;
    m_stream.flush();
    m_file.resize(0);
    m_file.close();
    m_stream.setDevice(nullptr);
}
