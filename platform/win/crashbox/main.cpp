// The box program of the crash path: shows its first argument as the title
// and its second as the text of a message box, and ends when it is closed.
#include "CrashMessage.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    mvplatform::CrashMessage::runBox(args.at(1), args.at(2));
    return 0;
}
