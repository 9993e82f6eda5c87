#pragma once

#include <QString>

#include <optional>

// When the room assistant posts its message, and what it posts. The seconds
// counter and the suffix index are process-wide: they start at 0 with the
// program and go on across switching speech off and on and across a new
// assistant after the next sign-in. GUI thread only.
class SpeechSchedule
{
public:
    static constexpr int kMinInterval = 20;
    static constexpr int kMaxInterval = 7200;
    static constexpr int kDefaultInterval = 90;

    // The content field's placeholder, stored as the empty text.
    static const QString kPlaceholder; // "txt_AutoSendMsg_text2"

    // The interval typed into the form, in seconds; nothing when it is no
    // decimal number or lies outside 20..7200, and the form refuses it.
    static std::optional<int> intervalFromInput(const QString &input);
    // The text the content field's content is stored as.
    static QString contentFromInput(const QString &input);
    // The interval the schedule runs on: a stored value outside 20..7200 (a
    // hand-edited file, or a missing key, which reads as 0) runs as 90.
    static int workingInterval(int stored);

    // One 1000 ms tick. Nothing while speech is off or the content is empty
    // (the counter stands still); otherwise the counter counts this second,
    // and every `interval` seconds the message is due: the content followed
    // by " ", by "." and by nothing, in turn.
    static std::optional<QString> tick(bool autoSpeak, const QString &content, int interval);

    static int secondsCounter();
    static int suffixIndex();
    // Back to program start, for tests only.
    static void resetCountersForTests();
};
