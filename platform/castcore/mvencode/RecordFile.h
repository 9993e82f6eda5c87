#pragma once

// Where a recording goes: a file that did not exist before, so that no
// earlier recording is ever replaced (two starts in one second, a clock set
// back, the hour repeated when daylight saving ends). A taken name gets
// "-1", "-2", ... before its extension; the file is created in the same
// step as the name is checked, so nothing slips in between. A FIFO or a
// device (/dev/null) is written in place: it holds nothing to lose.

#include <string>

namespace castcore {

struct RecordFile
{
    int fd = -1;      // blocking for a regular file; non-blocking for a FIFO or a device
    std::string path; // the name actually written
    bool created = false; // a new file, not a FIFO or a device

    // How many numbered names are tried beside a taken one.
    static constexpr int kMaxNumber = 99;

    // Creates (or, for a FIFO or a device, opens) the file for `path`; fd < 0
    // with `error` set when neither it nor a numbered name can be written.
    static RecordFile create(const std::string &path, std::string *error);
    // `path` with "-n" before its extension: "a/rec.mp4", 2 -> "a/rec-2.mp4".
    static std::string numbered(const std::string &path, int n);
};

} // namespace castcore
