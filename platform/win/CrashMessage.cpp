#include "CrashMessage.h"

#include "SignalSafeText.h"

#include <QFile>
#include <QMessageBox>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>

#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace mvplatform {

namespace {

char g_boxProgram[PATH_MAX] = {};

void writeText(int fd, const char *text)
{
    writeFully(fd, text, std::strlen(text));
}

} // namespace

const char *CrashMessage::boxProgramName()
{
    return "mvShowCrashBox";
}

void CrashMessage::setBoxProgram(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    if (p.size() >= int(sizeof(g_boxProgram))) {
        g_boxProgram[0] = '\0';
        return;
    }
    std::memcpy(g_boxProgram, p.constData(), std::size_t(p.size()));
    g_boxProgram[p.size()] = '\0';
}

void CrashMessage::show(const char *title, const char *text)
{
    writeText(STDERR_FILENO, title);
    writeText(STDERR_FILENO, ": ");
    writeText(STDERR_FILENO, text);
    writeText(STDERR_FILENO, "\n");

    if (!g_boxProgram[0])
        return;
    // _Fork, unlike fork, runs no fork handlers, which could wait for a lock
    // that the crashed thread holds.
    const pid_t pid = ::_Fork();
    if (pid < 0)
        return;
    if (pid == 0) {
        // The fatal signals are blocked while the handler runs, and a mask
        // survives exec: the box program starts with all of them open.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        char *const argv[] = {g_boxProgram, const_cast<char *>(title), const_cast<char *>(text), nullptr};
        ::execve(g_boxProgram, argv, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

void CrashMessage::runBox(const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok);
    box.setWindowFlags(box.windowFlags() | Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace mvplatform
