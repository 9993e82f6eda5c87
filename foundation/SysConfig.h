#pragma once

#include "AccountInfo.h"
#include "CameraSettings.h"
#include "RoomToolSettings.h"
#include "SysSettings.h"

#include <QString>

class QFile;

#include <json/value.h>

#include <string>

// The user's settings: one JSON document with the sections "sys", "camera",
// "account" and "room", read from the settings file at construction and
// written back at destruction. Setters change the document in memory only.
// GUI thread only; no lock.
//
// Reading is forgiving: a section that is not a JSON object, or a key whose
// value has the wrong JSON type, reads as missing. Reading a missing section
// or key of a loaded document adds that member as null, so the next saved
// file lists it as null. Saving replaces the file atomically: a failed save
// leaves the previous file as it was.
class SysConfig
{
public:
    SysConfig();
    ~SysConfig();

    SysConfig(const SysConfig &) = delete;
    SysConfig &operator=(const SysConfig &) = delete;

    // <AppDataLocation>/SysConfig.config
    static QString filePath();

    void load();
    // Writes the document; false when the file could not be replaced.
    bool save();

    bool isLoaded() const { return m_loaded; }

    bool getSysConfig(SysSettings &settings);
    void setSysConfig(const SysSettings &settings);

    bool getCameraConfig(CameraSettings &settings);
    bool getCameraConfig(CameraSettings *settings);
    void setCameraConfig(const CameraSettings &settings);
    void setCameraConfig(const CameraSettings *settings);

    bool getAccount(AccountInfo &account);
    void setAccount(const AccountInfo &account);

    bool getRoomConfig(RoomToolSettings &settings);
    void setRoomConfig(const RoomToolSettings &settings);

    // -1 when "camera" is missing; else the key's integer (0 when missing).
    int cameraResolutionIndex();
    int cameraResolutionWidth();
    int cameraResolutionHeight();

    // The negation of "sys_hide_when_close"; false when "sys" is missing.
    bool quitOnClose();
    // "sys_record_path" as UTF-8; empty when missing.
    std::string recordPath();
    // "auto_login" of "account"; false when missing.
    bool autoLogin();

private:
    Json::Value *section(const char *name);
    Json::Value &sectionForWrite(const char *name);
    int cameraInt(const char *key);
    void keepUnreadableFile(QFile &file);

    Json::Value m_root;
    bool m_loaded = false;
};
