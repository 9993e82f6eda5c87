#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace testsupport {

// A FIFO where a test wants a file that must not be read. Opening one for
// reading waits for a writer, so code that does so by mistake hangs; this
// helper tells such a hang from a refusal and frees the reader afterwards,
// so the test fails instead of hanging. The FIFO is removed on exit, once
// any reader still waiting has been let go.
class NamedPipe
{
public:
    // Makes the FIFO at `path` in place of whatever is there.
    explicit NamedPipe(const QString &path);
    ~NamedPipe();

    NamedPipe(const NamedPipe &) = delete;
    NamedPipe &operator=(const NamedPipe &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_path; }
    QString errorString() const { return m_error; }

    // Opens and closes the writing end if anybody has the FIFO open for
    // reading: a reader waiting in open() goes on and reads an end of file.
    // True when there was a reader.
    bool letReadersGo();

    // Runs `job` here; true when it returns within `timeoutMs`. After that
    // readers are let go until it returns, so it does return (false then).
    bool finishesWithin(int timeoutMs, const std::function<void()> &job);

    // The kinds of path that are no regular file, for tables of cases:
    // "fifo", "link to a fifo", "folder", "character device".
    static QStringList oddKinds();

    // A path of `kind` that must be refused unread: this FIFO, a link to it
    // or a folder made at `spare`, or `device`. Empty when it can't be made.
    QString oddPath(const QString &kind, const QString &spare,
                    const QString &device = QStringLiteral("/dev/zero")) const;

private:
    QString m_path;
    QString m_error;
    bool m_valid = false;
};

} // namespace testsupport
