#include "CrashHandler.h"

#include "CrashDump.h"
#include "CrashMessage.h"
#include "SignalSafeText.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <climits>
#include <cstring>
#include <ctime>

#include <unistd.h>

namespace {

char g_programDir[PATH_MAX] = {};
char g_fallbackDir[PATH_MAX] = {};
char g_programName[256] = {};
std::atomic<long> g_utcOffset{0};

bool copyInto(char *out, std::size_t size, const QString &text)
{
    const QByteArray bytes = QFile::encodeName(text);
    if (bytes.size() + 1 > int(size)) {
        out[0] = '\0';
        return false;
    }
    std::memcpy(out, bytes.constData(), std::size_t(bytes.size()) + 1);
    return true;
}

// Days since 1970-01-01 to year, month, day (proleptic Gregorian calendar),
// without the C library, which a signal handler must not call for it.
void civilFromDays(long long days, int &year, int &month, int &day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    day = int(doy - (153 * mp + 2) / 5 + 1);
    month = int(mp < 10 ? mp + 3 : mp - 9);
    year = int(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

bool CrashHandler::install()
{
    const QFileInfo program(QCoreApplication::applicationFilePath());
    copyInto(g_programDir, sizeof(g_programDir), program.absolutePath());
    copyInto(g_programName, sizeof(g_programName), program.completeBaseName());
    const QString fallback = QDir::tempPath() + QStringLiteral("/MorvaShow");
    QDir().mkpath(fallback);
    copyInto(g_fallbackDir, sizeof(g_fallbackDir), fallback);

    // The offset of now: a change to or from summer time during the run is
    // not followed, and a later dump's name is then an hour off.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    g_utcOffset.store(local.tm_gmtoff);

    mvplatform::CrashMessage::setBoxProgram(program.absolutePath() + QLatin1Char('/')
                                            + QLatin1String(mvplatform::CrashMessage::boxProgramName()));
    return mvplatform::CrashFilter::install(&CrashHandler::filter);
}

void CrashHandler::dumpFileName(const char *program, long long localSeconds, char *out, std::size_t size)
{
    if (!out || size == 0)
        return;
    long long days = localSeconds / 86400;
    long long secondOfDay = localSeconds % 86400;
    if (secondOfDay < 0) {
        secondOfDay += 86400;
        --days;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    civilFromDays(days, year, month, day);

    mvplatform::SignalSafeText<512> name;
    name.add(program).add('_');
    name.addDecimal(year, 4).add('-');
    name.addDecimal(month, 2).addDecimal(day, 2).add('-');
    name.addDecimal(secondOfDay / 3600, 2).addDecimal(secondOfDay % 3600 / 60, 2).add('-');
    name.addDecimal(secondOfDay % 60, 2).add(".dmp");
    const std::size_t n = name.length() < size ? name.length() : size - 1;
    std::memcpy(out, name.text(), n);
    out[n] = '\0';
}

bool CrashHandler::writeDump(const mvplatform::CrashSignal &signal, const char *dumpPath)
{
    return mvplatform::CrashDump::write(dumpPath, signal);
}

void CrashHandler::filter(const mvplatform::CrashSignal &signal)
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    char name[320];
    dumpFileName(g_programName, static_cast<long long>(now.tv_sec) + g_utcOffset.load(), name, sizeof(name));

    mvplatform::SignalSafeText<PATH_MAX + 320> path;
    path.add(g_programDir).add('/').add(name);
    const char *shown = name;
    if (!writeDump(signal, path.text())) {
        path = mvplatform::SignalSafeText<PATH_MAX + 320>();
        path.add(g_fallbackDir).add('/').add(name);
        if (writeDump(signal, path.text()))
            shown = path.text();
    }

    mvplatform::SignalSafeText<PATH_MAX + 512> message;
    message.add("程序发生异常错误，请将目录下面的").add(shown).add("文件提供给技术人员！");
    mvplatform::CrashMessage::show("Dump", message.text());
    ::_exit(128 + signal.signal);
}
