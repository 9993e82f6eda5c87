// Runs the program's start on its application object, as the entry does,
// and answers its message boxes: each argument names the button to press in
// the next modal window ("quit" instead quits from the tray menu once the
// main window shows; "websignin" instead opens the sign-in dialog, its QQ
// page, closes the page and quits from the tray). Prints what it met on
// the standard output:
//   box|<class>|<text>           one line per modal window
//   opened|<address>             one line per file or page handed over
//   webengine|<when>|<0 or 1>    whether QtWebKit was mapped: "shown" when
//                                the sign-in dialog showed, "page" while the
//                                page was up
// and ends with the start's exit code.
#include "LiveProxy.h"
#include "ModalDriver.h"
#include "MvSingleApp.h"
#include "ProgramEntry.h"
#include "UiMain.h"
#include "UrlOpenRecorder.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QPushButton>
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

bool webEngineMapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt5WebKit");
}

void reportWebEngine(const char *when)
{
    std::printf("webengine|%s|%d\n", when, webEngineMapped() ? 1 : 0);
    std::fflush(stdout);
}

// Opens the sign-in dialog from the title bar once the main window shows;
// once the dialog shows, opens the QQ page from it, closes the page and
// quits from the tray.
void openWebSignInOnceShown(testsupport::ModalDriver *driver)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (!w->isVisible())
            continue;
        if (w->inherits("login")) {
            auto *qq = w->findChild<QPushButton *>(QStringLiteral("button_QQ"));
            // The dialog asks for its QR code as it opens; a page asked for
            // while that runs is refused with a tip, as a user's would be.
            if (!qq || LiveProxy::GetInstance()->taskThread().isBusy())
                break;
            reportWebEngine("shown");
            driver->onNext([](QWidget *page) {
                reportWebEngine("page");
                QTimer::singleShot(0, page, [page] {
                    if (auto *dialog = qobject_cast<QDialog *>(page))
                        dialog->reject();
                    QTimer::singleShot(0, &quitFromTrayOnceShown);
                });
            });
            QTimer::singleShot(0, qq, &QPushButton::click);
            return;
        }
        static bool dialogAsked = false;
        if (!dialogAsked && qobject_cast<UiMain *>(w)) {
            auto *show = w->findChild<QPushButton *>(QStringLiteral("showloginButton"));
            if (show && show->isVisible()) {
                dialogAsked = true;
                // The dialog runs modal: clicked from the event loop, not from here.
                QTimer::singleShot(0, show, &QPushButton::click);
            }
        }
    }
    QTimer::singleShot(50, [driver] { openWebSignInOnceShown(driver); });
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
        else if (step == QLatin1String("websignin"))
            QTimer::singleShot(0, [&driver] { openWebSignInOnceShown(&driver); });
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
