#pragma once

#include <QString>

// Section "sys" of the settings store: devices, record folder, window and
// start-up switches.
struct SysSettings
{
    QString micDevice;          // "sys_mic_device"
    QString systemDevice;       // "sys_system_device"
    QString recordPath;         // "sys_record_path"
    bool hideWhenClose = false; // "sys_hide_when_close"
    bool autoUpdate = false;    // "sys_auto_update"
    bool openPowerOn = false;   // "sys_open_poweron"
};
