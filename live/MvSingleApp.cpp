#include "MvSingleApp.h"

#include "Logger.h"
#include "ProcessList.h"
#include "UserTempFolder.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QWidget>

const char *const MvSingleApp::ServerName = "9FCBAA25-D362-49A9-9D8B-8BF86D19AA13";
const char *const MvSingleApp::ImageName = "mvShow";

namespace {

// How long a start waits for the starts ahead of it to decide. Each holds
// the lock for a look at the process list and a probe of at most 500 ms.
constexpr int kDecideWaitMs = 10000;
// A lock file older than this is a leftover (a start that died while
// deciding, perhaps before it wrote its process id). A live holder keeps the
// file locked as well, so its lock is never taken from it.
constexpr int kLeftoverLockMs = 5000;

} // namespace

bool HasOtherInstanceProcess(const QString &imageName)
{
    // Copies count only within one temporary folder, the one that holds the
    // single-instance socket and the log: a copy run with another (a test's)
    // is a world of its own.
    using mvplatform::ProcessList;
    return ProcessList::countByExecutableName(imageName, ProcessList::Started::NoLaterThanSelf, "TMPDIR") > 1;
}

QString MvSingleApp::serverPath(const QString &name)
{
    const QString folder = userTempFolder(Logger::defaultDirectory());
    return (folder.isEmpty() ? QDir::tempPath() : folder) + QLatin1Char('/') + name;
}

MvSingleApp::MvSingleApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(ServerName));
    const QString server = serverPath(applicationName());

    // Starts decide one after another, so that a start finding nobody on the
    // socket knows that nobody is about to listen on it either: only then is
    // a socket left there stale.
    QLockFile deciding(server + QStringLiteral(".lock"));
    deciding.setStaleLockTime(kLeftoverLockMs);
    const bool alone = deciding.tryLock(kDecideWaitMs);

    QLocalSocket socket;
    socket.connectToServer(server, QIODevice::ReadWrite);

    // The knock above already reached a listening first copy, so it raises
    // its window whichever test decides that this copy is the second.
    if (HasOtherInstanceProcess(QString::fromLatin1(ImageName)) || socket.waitForConnected(500)) {
        m_running = true;
        quit();
        return;
    }

    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, &MvSingleApp::newLocalConnection);
    if (!m_server->listen(server) && m_server->serverError() == QAbstractSocket::AddressInUseError && alone) {
        // A copy that crashed left its socket file behind: nobody answered
        // on it above, and no other start can have listened since.
        QLocalServer::removeServer(server);
        m_server->listen(server);
    }
}

MvSingleApp::~MvSingleApp() = default;

void MvSingleApp::setMainWindow(QWidget *window)
{
    m_mainWindow = window;
}

void MvSingleApp::newLocalConnection()
{
    // The knock carries nothing; accepting and closing it keeps the server's
    // backlog of unaccepted connections from filling up and silencing it.
    if (m_server) {
        while (QLocalSocket *knock = m_server->nextPendingConnection())
            knock->deleteLater();
    }

    if (!m_mainWindow)
        return;
    m_mainWindow->showNormal();
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}
