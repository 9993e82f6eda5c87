#include "WebPages.h"

#include "Logger.h"
#include "WebPage.h"

#include <QCoreApplication>
#include <QPluginLoader>

namespace {

const char kLibraryName[] = "libmvwebview.so";

struct LoaderState
{
    QString path;          // set by setLibraryPath, else found on first use
    QString error;
    QString failedPath;    // the path whose failure was logged
    WebPageFactory *factory = nullptr;
};

LoaderState &state()
{
    static LoaderState s;
    return s;
}

QString defaultPath()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(kLibraryName);
}

} // namespace

WebPageFactory *WebPages::factory()
{
    LoaderState &s = state();
    if (s.factory)
        return s.factory;
    const QString path = libraryPath();
    // The loader stays loaded for the life of the program: the pages' code
    // must outlive every page made.
    QPluginLoader loader(path);
    loader.setLoadHints(QLibrary::PreventUnloadHint);
    QObject *instance = loader.instance();
    WebPageFactory *factory = instance ? qobject_cast<WebPageFactory *>(instance) : nullptr;
    if (!factory) {
        s.error = instance ? QStringLiteral("%1 offers no web pages").arg(path) : loader.errorString();
        if (s.failedPath != path) {
            s.failedPath = path;
            Logger::instance()->write(Logger::LOG_ERROR, "web pages not available: %s",
                                      s.error.toUtf8().constData());
        }
        return nullptr;
    }
    s.error.clear();
    s.factory = factory;
    Logger::instance()->write(Logger::LOG_INFO, "web pages loaded from %s", path.toUtf8().constData());
    return factory;
}

QString WebPages::errorString()
{
    return state().error;
}

QString WebPages::unavailableText()
{
    return QStringLiteral("网页组件无法加载，请重新安装程序后再试。");
}

void WebPages::setLibraryPath(const QString &path)
{
    LoaderState &s = state();
    s.path = path;
    s.factory = nullptr;
    s.error.clear();
    s.failedPath.clear();
}

QString WebPages::libraryPath()
{
    const LoaderState &s = state();
    return s.path.isEmpty() ? defaultPath() : s.path;
}
