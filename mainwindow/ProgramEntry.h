#pragma once

class MvSingleApp;

// The program's whole run on its application object, as the entry calls it:
// a second copy ends at once, then the crash filter, Qt's messages into the
// daily log, Qt's Chinese texts, the system and DirectX checks, the main
// window's start, and the event loop. Answers the process exit code
// (ProgramStart::ExitCode, or the event loop's result).
class ProgramEntry
{
public:
    static int run(MvSingleApp &app);
};
