#include "ProgramStart.h"

#include "Logger.h"
#include "OsVersionName.h"
#include "UiToolTipDialog.h"

#include <QApplication>
#include <QDir>

void ProgramStart::prepare()
{
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, true);
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
