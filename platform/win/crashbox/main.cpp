// The box program of the crash path: shows its first argument as the title
// and its second as the text of a message box, and ends when it is closed.
// Where no screen shows it (the offscreen platform) nobody could close it,
// and the crashed program would wait for ever: it ends at once instead.
#include "CrashMessage.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return 0;
    mvplatform::CrashMessage::runBox(args.at(1), args.at(2));
    return 0;
}
