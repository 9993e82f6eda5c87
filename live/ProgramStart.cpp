#include "ProgramStart.h"

#include "Logger.h"
#include "OsVersionName.h"
#include "UiToolTipDialog.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

void ProgramStart::prepare()
{
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, true);
    // No widget draws with OpenGL (the engine paints the preview through
    // XCB), but windows able to take GL children make Qt load the GL driver
    // when the first native window is made: tens of milliseconds and, with
    // Mesa's software driver, some 50 MiB resident.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets, true);
    QCoreApplication::setApplicationName(QStringLiteral("MorvaShow"));
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    Logger::instance()->setLevel(1);
}

bool ProgramStart::systemSupported()
{
    int platformId = 0;
    int major = 0;
    int minor = 0;
    const QString name = osVersionName(&platformId, &major, &minor);
    if (platformId == 2 && major >= 6)
        return true;
    UiToolTipDialog box(QStringLiteral("暂不支持 ") + name, nullptr);
    box.exec();
    return false;
}

QTranslator *ProgramStart::loadQtTranslations(const QString &folder)
{
    const QString where = folder.isEmpty() ? QLibraryInfo::location(QLibraryInfo::TranslationsPath) : folder;
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), where)) {
        delete translator;
        qWarning("Qt's Chinese translations (qtbase_zh_CN.qm) are missing in %s: Qt's own texts stay in English",
                 qUtf8Printable(where));
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}
