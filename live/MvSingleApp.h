#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

class QLocalServer;

// Whether more than one process of the current user that started no later
// than this one runs an executable of that file name (the calling process is
// one of those counted when its name matches). Copies started later are
// still deciding and give way to this one, so of copies started together
// exactly one, the first started, finds no other.
bool HasOtherInstanceProcess(const QString &imageName);

// The application object, which also keeps the program to one copy per
// user: a start counts as a second copy when another process of the
// program's executable runs, or else when the first copy's local server
// answers within 500 ms. The second copy then quits at once and the first
// one raises its window. Starts take turns on a lock file beside the socket
// for that decision, so a burst of starts leaves exactly one copy and a
// socket is removed only when nobody answers on it.
class MvSingleApp : public QApplication
{
    Q_OBJECT

public:
    // The local server's name. The socket file of that name lies in this
    // user's folder of the program (see serverPath), as the temporary folder
    // of Windows is the user's own.
    static const char *const ServerName;
    // The executable counted in the process list.
    static const char *const ImageName;

    MvSingleApp(int &argc, char **argv);
    ~MvSingleApp() override;

    bool isRunning() const { return m_running; }

    // Where the server of that name listens: in the program's folder of the
    // temporary folder, QDir::tempPath() + "/MorvaShow", or in this user's
    // folder beside it when that one is another user's (see
    // userTempFolder); in the temporary folder itself when neither will do.
    static QString serverPath(const QString &name);

    // The window raised when a later start knocks.
    void setMainWindow(QWidget *window);

public slots:
    void newLocalConnection();

private:
    QLocalServer *m_server = nullptr;
    bool m_running = false;
    QPointer<QWidget> m_mainWindow;
};
