#include "SpeechSchedule.h"

namespace {

int g_seconds = 0;
int g_suffix = 0;

} // namespace

const QString SpeechSchedule::kPlaceholder = QStringLiteral("txt_AutoSendMsg_text2");

std::optional<int> SpeechSchedule::intervalFromInput(const QString &input)
{
    const int seconds = input.toInt(nullptr, 10);
    if (seconds < kMinInterval || seconds > kMaxInterval)
        return std::nullopt;
    return seconds;
}

QString SpeechSchedule::contentFromInput(const QString &input)
{
    return input == kPlaceholder ? QString() : input;
}

int SpeechSchedule::workingInterval(int stored)
{
    return stored < kMinInterval || stored > kMaxInterval ? kDefaultInterval : stored;
}

std::optional<QString> SpeechSchedule::tick(bool autoSpeak, const QString &content, int interval)
{
    if (!autoSpeak || content.isEmpty())
        return std::nullopt;
    ++g_seconds;
    if (g_seconds % workingInterval(interval) != 0)
        return std::nullopt;
    static const char *const kSuffixes[] = {" ", ".", ""};
    const QString message = content + QLatin1String(kSuffixes[g_suffix]);
    g_suffix = (g_suffix + 1) % 3;
    g_seconds = 0;
    return message;
}

int SpeechSchedule::secondsCounter()
{
    return g_seconds;
}

int SpeechSchedule::suffixIndex()
{
    return g_suffix;
}

void SpeechSchedule::resetCountersForTests()
{
    g_seconds = 0;
    g_suffix = 0;
}
