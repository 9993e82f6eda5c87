#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

// The chat log of one sign-in: "chatMsg.txt" in the daily log's folder, a
// first line when the assistant starts, one line per chat message, flushed
// at once so that the broadcaster can open the file at any time. When the
// assistant goes the file is emptied; after an abnormal end its lines stay
// and the next assistant appends to them. UTF-8, local time.
class ChatLogFile
{
public:
    static const char *const kFileName; // "chatMsg.txt"

    // The file in the daily log's folder, which is made when it is missing.
    // Empty when there is no folder of ours to write to.
    static QString defaultPath();

    ChatLogFile() = default;
    ~ChatLogFile();

    ChatLogFile(const ChatLogFile &) = delete;
    ChatLogFile &operator=(const ChatLogFile &) = delete;

    // Opens `path` for appending and writes the first line, stamped now.
    // False when the file cannot be opened; the log then loses every line
    // silently.
    bool open(const QString &path);
    bool isOpen() const { return m_file.isOpen(); }

    // One message, stamped now; `name` already ends with ":".
    void append(const QString &name, const QString &content);

    // Empties the file and closes it.
    void truncateAndClose();

    static QString firstLine(const QDateTime &now);
    static QString messageLine(const QString &name, const QString &content, const QString &stamp);

private:
    void write(const QString &line);
    // The local time as "yyyy-MM-dd hh:mm:ss", formatted once a second: a
    // chat message costs no more than its flushed line.
    QString stampNow();

    QFile m_file;
    qint64 m_stampSecond = -1;
    QString m_stamp;
};
