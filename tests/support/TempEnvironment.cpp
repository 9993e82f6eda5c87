#include "TempEnvironment.h"

#include "Logger.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace testsupport {

TempEnvironment::TempEnvironment()
    : m_dir(QDir::tempPath() + QStringLiteral("/morva-test-XXXXXX"))
    , m_oldCwd(QDir::currentPath())
{
    if (!m_dir.isValid())
        return;
    for (const QString &p : {tempPath(), dataHome(), configHome(), workPath()})
        QDir().mkpath(p);
    // The user's videos folder, where recordings go by default, is read from
    // the config home: inside too (as ~/Videos would be).
    QFile dirs(configHome() + QStringLiteral("/user-dirs.dirs"));
    if (dirs.open(QIODevice::WriteOnly))
        dirs.write("XDG_VIDEOS_DIR=\"" + QFile::encodeName(root()) + "/Videos\"\n");
    redirect("TMPDIR", tempPath());
    redirect("XDG_DATA_HOME", dataHome());
    redirect("XDG_CONFIG_HOME", configHome());
    QDir::setCurrent(workPath());
    // The daily log reads its folder once; follow the redirected TMPDIR.
    Logger::instance()->setDirectory(Logger::defaultDirectory());
}

TempEnvironment::~TempEnvironment()
{
    // Writable again, so that the folder can be emptied.
    for (const QString &path : qAsConst(m_foreign))
        ::chmod(QFile::encodeName(path).constData(), 0755);
    QDir::setCurrent(m_oldCwd);
    for (int i = m_savedCount - 1; i >= 0; --i) {
        const SavedVar &v = m_saved[i];
        if (v.wasSet)
            qputenv(v.name.constData(), v.value);
        else
            qunsetenv(v.name.constData());
    }
    if (m_savedCount > 0)
        Logger::instance()->setDirectory(Logger::defaultDirectory());
}

bool TempEnvironment::makeForeign(const QString &path)
{
    const QByteArray p = QFile::encodeName(path);
    m_foreign << path;
    if (::geteuid() == 0) {
        const uid_t nobody = 65534;
        return ::lchown(p.constData(), nobody, nobody) == 0;
    }
    return ::chmod(p.constData(), 0555) == 0;
}

bool TempEnvironment::copyEffectFolder() const
{
    const QDir source(QStringLiteral(MORVA_EFFECT_DIR));
    const QString target = workPath() + QStringLiteral("/effect");
    bool ok = source.exists();
    QDirIterator it(source.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString from = it.next();
        const QString to = target + QLatin1Char('/') + source.relativeFilePath(from);
        QDir().mkpath(QFileInfo(to).path());
        QFile::remove(to);
        ok = QFile::copy(from, to) && ok;
    }
    return ok;
}

void TempEnvironment::redirect(const char *name, const QString &path)
{
    SavedVar &v = m_saved[m_savedCount++];
    v.name = name;
    v.wasSet = qEnvironmentVariableIsSet(name);
    v.value = qgetenv(name);
    qputenv(name, QFile::encodeName(path));
}

} // namespace testsupport
