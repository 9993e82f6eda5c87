// Runs the program's start on its application object, as the entry does,
// and answers its message boxes: each argument names the button to press in
// the next modal window ("quit" instead quits from the tray menu once the
// main window shows). Prints what it met on the standard output:
//   box|<class>|<text>           one line per modal window
//   opened|<address>             one line per file or page handed over
// and ends with the start's exit code.
#include "ModalDriver.h"
#include "MvSingleApp.h"
#include "ProgramEntry.h"
#include "UiMain.h"
#include "UrlOpenRecorder.h"

#include <QAction>
#include <QMenu>
#include <QTimer>

#include <cstdio>

namespace {

void quitFromTrayOnceShown()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        auto *window = qobject_cast<UiMain *>(w);
        if (window && window->isVisible()) {
            window->trayMenu()->actions().at(0)->trigger();
            return;
        }
    }
    QTimer::singleShot(50, &quitFromTrayOnceShown);
}

} // namespace

int main(int argc, char **argv)
{
    MvSingleApp app(argc, argv);
    testsupport::UrlOpenRecorder opened({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https")});
    testsupport::ModalDriver driver(20000);
    for (const QString &step : app.arguments().mid(1)) {
        if (step == QLatin1String("quit"))
            QTimer::singleShot(0, &quitFromTrayOnceShown);
        else
            driver.pressNext(step);
    }
    const int code = ProgramEntry::run(app);
    for (const testsupport::ModalSnapshot &box : driver.seen()) {
        // One line each: line breaks and tabs of the text written as \r, \n, \t.
        QString text = box.texts.value(QStringLiteral("tipinfolabel"), box.text(QStringLiteral("qt_msgbox_label")));
        text.replace(QLatin1Char('\r'), QLatin1String("\\r"))
            .replace(QLatin1Char('\n'), QLatin1String("\\n"))
            .replace(QLatin1Char('\t'), QLatin1String("\\t"));
        std::printf("box|%s|%s\n", qPrintable(box.className), text.toUtf8().constData());
    }
    for (const QUrl &url : opened.urls())
        std::printf("opened|%s\n", url.toString().toUtf8().constData());
    for (const QString &error : driver.errors())
        std::printf("error|%s\n", error.toUtf8().constData());
    std::fflush(stdout);
    return code;
}
