#pragma once

// FFmpeg's text for one of its error codes, for log lines.

extern "C" {
#include <libavutil/error.h>
}

#include <string>

namespace castcore {

inline std::string avError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof(text));
    return text;
}

} // namespace castcore
