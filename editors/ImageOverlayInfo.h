#pragma once

#include <QString>

// A picture item as the picture editor and the preview exchange it.
struct ImageOverlayInfo
{
    QString path;
    int alpha = 255; // 0 invisible .. 255 opaque
    bool accepted = false;
};
