#pragma once

#include <QString>

class QTranslator;

// The steps of the program's start that come before the facade and the main
// window, one operation each, in the order the entry runs them.
class ProgramStart
{
public:
    // Exit codes of the program's entry.
    enum ExitCode {
        ExitOtherInstance = 0,   // another copy runs and was raised
        ExitUnsupportedSystem = 1, // the system check or DirectX refused
        ExitInitFailed = 2,      // the main window could not set the scene up
    };

    // Native widgets get no native siblings, widgets draw with the raster
    // engine only (no GL driver is loaded), the application is named
    // "MorvaShow", the working directory becomes the program's folder, and
    // the daily log writes from LOG_INFO up. Needs the application object.
    static void prepare();

    // Qt's own texts (file dialogs, standard buttons) in Chinese: installs a
    // translator, owned by the application, for Qt's "qtbase_zh_CN" catalogue
    // from the folder (default: Qt's translations folder) and answers it.
    // Without the catalogue, one warning names it and Qt stays in English:
    // answers nullptr.
    static QTranslator *loadQtTranslations(const QString &folder = QString());

    // True on the NT family from major version 6 on. Otherwise tells the user
    // "暂不支持 " followed by the system's name in the message box (no
    // parent, modal) and answers false: the program must end.
    static bool systemSupported();
};
