#pragma once

#include <QString>

#include <string>

// Capture colour formats of a camera; NONE stands for an unknown format.
enum CameraColorFormat {
    CameraColorFormat_YUY2 = 0,
    CameraColorFormat_YVYU = 1,
    CameraColorFormat_UYVY = 2,
    CameraColorFormat_I420 = 3,
    CameraColorFormat_RGB32 = 4,
    CameraColorFormat_RGB24 = 5,
    CameraColorFormat_MJPG = 6,
    CameraColorFormat_NONE = 7
};

// User texts of account and live error codes, and the colour-format names.
// The facade publishes them as its own static operations.
namespace livetexts {

// The code's text, or the unknown-error text with the code filled in.
QString errorMessage(int code);
// "YUY2" … "MJPG" for 0 to 6; "NONE" for every other value.
std::string colorFormatName(int format);
// Exact, case-sensitive match of the seven names; anything else gives 7.
int colorFormatFromName(const std::string &name);

} // namespace livetexts
