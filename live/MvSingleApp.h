#pragma once

#include <QApplication>
#include <QPointer>
#include <QString>

class QLocalServer;

// Whether another process of the current user runs an executable of that
// file name (the calling process is one of those counted).
bool HasOtherInstanceProcess(const QString &imageName);

// The application object, which also keeps the program to one copy: a start
// counts as a second copy when another process of the program's executable
// runs, or else when the first copy's local server answers within 500 ms.
// The second copy then quits at once and the first one raises its window.
class MvSingleApp : public QApplication
{
    Q_OBJECT

public:
    // The local server's name; on Linux a socket file of that name in the
    // temporary folder.
    static const char *const ServerName;
    // The executable counted in the process list.
    static const char *const ImageName;

    MvSingleApp(int &argc, char **argv);
    ~MvSingleApp() override;

    bool isRunning() const { return m_running; }

    // The window raised when a later start knocks.
    void setMainWindow(QWidget *window);

public slots:
    void newLocalConnection();

private:
    QLocalServer *m_server = nullptr;
    bool m_running = false;
    QPointer<QWidget> m_mainWindow;
};
