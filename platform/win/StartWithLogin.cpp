#include "StartWithLogin.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace mvplatform {

namespace {

bool hasControlCharacter(const QString &s)
{
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

// A desktop-entry string value: a backslash is written doubled.
QString escapeString(const QString &s)
{
    QString out = s;
    out.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    return out;
}

} // namespace

QString StartWithLogin::entryPath(const QString &name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
        || name.contains(QLatin1Char('/')) || hasControlCharacter(name))
        return QString();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return QString();
    return config + QLatin1String("/autostart/") + name + QLatin1String(".desktop");
}

QString StartWithLogin::execValue(const QString &programPath)
{
    // Inside a quoted argument ", `, $ and \ take a backslash; the string
    // escaping of the whole value then doubles every backslash; % starts a
    // field code and is written doubled.
    QString quoted;
    for (const QChar c : programPath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    QString value = escapeString(QLatin1Char('"') + quoted + QLatin1Char('"'));
    value.replace(QLatin1Char('%'), QLatin1String("%%"));
    return value;
}

bool StartWithLogin::set(const QString &name, const QString &programPath, bool on)
{
    const QString path = entryPath(name);
    if (path.isEmpty()) {
        qWarning("start with login: no entry can be named \"%s\"", qUtf8Printable(name));
        return false;
    }
    if (!on) {
        if (!QFile::exists(path) || QFile::remove(path))
            return true;
        qWarning("start with login: cannot remove %s", qUtf8Printable(path));
        return false;
    }

    if (programPath.isEmpty() || hasControlCharacter(programPath)) {
        qWarning("start with login: the program path \"%s\" cannot be written", qUtf8Printable(programPath));
        return false;
    }
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qWarning("start with login: cannot create the folder of %s", qUtf8Printable(path));
        return false;
    }
    const QByteArray entry = QStringLiteral("[Desktop Entry]\n"
                                            "Type=Application\n"
                                            "Name=%1\n"
                                            "Exec=%2\n")
                                 .arg(escapeString(name), execValue(programPath))
                                 .toUtf8();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry) != entry.size() || !file.commit()) {
        qWarning("start with login: cannot write %s: %s", qUtf8Printable(path), qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}

bool StartWithLogin::isSet(const QString &name)
{
    const QString path = entryPath(name);
    return !path.isEmpty() && QFile::exists(path);
}

} // namespace mvplatform
