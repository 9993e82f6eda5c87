#pragma once

#include <QString>

// The room assistant's settings, section "room" of the settings store. The
// member initialisers are the assistant's defaults.
struct RoomToolSettings
{
    bool autoMute = false;  // "room_keywords_enabled"
    QString keywords;       // "room_keywords"
    bool autoSpeak = false; // "autosendmsg_enabled"
    QString content;        // "autosend_content"
    int interval = 90;      // "autosend_timespace", seconds
};
