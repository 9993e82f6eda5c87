#include "ProgramEntry.h"

// Before any Qt header: the crash filter names an operation "signals", which
// Qt defines as a keyword.
#include "CrashHandler.h"

#include "CastCoreWorld.h"
#include "LiveProxy.h"
#include "MvSingleApp.h"
#include "ProgramStart.h"
#include "QtMessageLog.h"
#include "UiMain.h"
#include "UiToolTipDialog.h"

int ProgramEntry::run(MvSingleApp &app)
{
    if (app.isRunning())
        return ProgramStart::ExitOtherInstance;

    CrashHandler::install();
    ProgramStart::prepare();
    // From here on diagnostics go to the daily log and only warnings reach
    // the console.
    QtMessageLog::install();
    ProgramStart::loadQtTranslations();
    castcore::mirrorRealScreens();

    if (!ProgramStart::systemSupported())
        return ProgramStart::ExitUnsupportedSystem;
    if (!LiveProxy::checkDirectX())
        return ProgramStart::ExitUnsupportedSystem;

    UiMain *window = new UiMain;
    if (window->Init() < 0) {
        UiToolTipDialog box(QStringLiteral("初始化失败!"), nullptr);
        box.exec();
        delete window;
        return ProgramStart::ExitInitFailed;
    }
    window->show();
    app.setMainWindow(window);
    const int result = app.exec();
    delete window;
    return result;
}
