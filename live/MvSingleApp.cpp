#include "MvSingleApp.h"

#include "ProcessList.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

const char *const MvSingleApp::ServerName = "9FCBAA25-D362-49A9-9D8B-8BF86D19AA13";
const char *const MvSingleApp::ImageName = "mvShow";

bool HasOtherInstanceProcess(const QString &imageName)
{
    return mvplatform::ProcessList::countByExecutableName(imageName) > 1;
}

MvSingleApp::MvSingleApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QString::fromLatin1(ServerName));
    const QString name = applicationName();

    QLocalSocket socket;
    socket.connectToServer(name, QIODevice::ReadWrite);

    // The knock above already reached a listening first copy, so it raises
    // its window whichever test decides that this copy is the second.
    if (HasOtherInstanceProcess(QString::fromLatin1(ImageName)) || socket.waitForConnected(500)) {
        m_running = true;
        quit();
        return;
    }

    m_server = new QLocalServer(this);
    connect(m_server, &QLocalServer::newConnection, this, &MvSingleApp::newLocalConnection);
    if (!m_server->listen(name) && m_server->serverError() == QAbstractSocket::AddressInUseError) {
        // A copy that crashed left its socket file behind; nobody answered
        // on it above, so it is stale.
        QLocalServer::removeServer(name);
        m_server->listen(name);
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
