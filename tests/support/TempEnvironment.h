#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// Points TMPDIR, XDG_DATA_HOME, XDG_CONFIG_HOME (and with it the videos
// folder, root() + "/Videos") and the working directory at a fresh temporary
// folder for as long as it lives, so that no test touches the real home or
// sees another test's files; the daily log follows. Restores everything on
// exit.
class TempEnvironment
{
public:
    TempEnvironment();
    ~TempEnvironment();

    TempEnvironment(const TempEnvironment &) = delete;
    TempEnvironment &operator=(const TempEnvironment &) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString tempPath() const { return root() + QStringLiteral("/tmp"); }
    QString dataHome() const { return root() + QStringLiteral("/data"); }
    QString configHome() const { return root() + QStringLiteral("/config"); }
    QString workPath() const { return root() + QStringLiteral("/work"); }

    // Makes a file or folder that the test made look like another user's,
    // as a second desktop user on the machine would leave it. Run as root
    // (who passes every permission check) it is handed to another user id;
    // otherwise it loses our write permission. False when that fails. The
    // folder is emptied on exit either way.
    bool makeForeign(const QString &path);

    // Copies the program's run-time assets (effect/) into the working
    // folder, where the program finds them as "./effect/...". False when a
    // file could not be copied.
    bool copyEffectFolder() const;

private:
    struct SavedVar
    {
        QByteArray name;
        QByteArray value;
        bool wasSet = false;
    };
    void redirect(const char *name, const QString &path);

    QTemporaryDir m_dir;
    QStringList m_foreign;
    QString m_oldCwd;
    SavedVar m_saved[3];
    int m_savedCount = 0;
};

} // namespace testsupport
