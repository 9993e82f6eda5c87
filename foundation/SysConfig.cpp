#include "SysConfig.h"

#include "Logger.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <json/reader.h>
#include <json/writer.h>

#include <exception>
#include <memory>

namespace {

// Readers tolerate hand-edited files: a value of the wrong JSON type reads as
// missing. operator[] on a non-const object adds a missing key as null, which
// the saved file then shows; that is kept on purpose.
QString readText(Json::Value &section, const char *key)
{
    const Json::Value &v = section[key];
    if (!v.isString())
        return QString();
    const char *begin = nullptr;
    const char *end = nullptr;
    v.getString(&begin, &end);
    return QString::fromUtf8(begin, static_cast<int>(end - begin));
}

int readInt(Json::Value &section, const char *key)
{
    const Json::Value &v = section[key];
    return v.isInt() ? v.asInt() : 0;
}

bool readBool(Json::Value &section, const char *key)
{
    const Json::Value &v = section[key];
    return v.isBool() ? v.asBool() : false;
}

Json::Value text(const QString &s)
{
    const QByteArray utf8 = s.toUtf8();
    return Json::Value(utf8.constData(), utf8.constData() + utf8.size());
}

QString dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

} // namespace

SysConfig::SysConfig()
{
    load();
}

SysConfig::~SysConfig()
{
    save();
}

QString SysConfig::filePath()
{
    return dataFolder() + QStringLiteral("/SysConfig.config");
}

void SysConfig::load()
{
    m_loaded = false;
    m_root = Json::Value();

    QFile file(filePath());
    bool parsed = false;
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        Json::CharReaderBuilder builder;
        builder["collectComments"] = true;
        std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        std::string errors;
        bool ok = false;
        try {
            ok = reader->parse(bytes.constData(), bytes.constData() + bytes.size(), &root, &errors);
        } catch (const std::exception &) {
            ok = false; // e.g. nesting beyond the reader's stack limit
        }
        // Only an object (or null) is a settings document; anything else is
        // treated like a malformed file.
        if (ok && (root.isObject() || root.isNull())) {
            m_root = root;
            parsed = true;
        }
    }
    if (parsed) {
        m_loaded = true;
        return;
    }
    QDir().mkpath(dataFolder());
}

bool SysConfig::save()
{
    QDir().mkpath(dataFolder());

    Json::StreamWriterBuilder builder;
    builder["indentation"] = "   ";
    builder["emitUTF8"] = true;
    const std::string rendered = Json::writeString(builder, m_root) + "\n";

    QSaveFile file(filePath());
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok) {
        ok = file.write(rendered.data(), static_cast<qint64>(rendered.size()))
             == static_cast<qint64>(rendered.size());
        ok = ok ? file.commit() : (file.cancelWriting(), false);
    }
    if (!ok)
        Logger::instance()->write(Logger::LOG_ERROR, "SysConfig: cannot write %s: %s",
                                  filePath().toUtf8().constData(),
                                  file.errorString().toUtf8().constData());
    return ok;
}

Json::Value *SysConfig::section(const char *name)
{
    if (!m_root.isObject())
        return nullptr;
    Json::Value &s = m_root[name];
    return s.isObject() ? &s : nullptr;
}

Json::Value &SysConfig::sectionForWrite(const char *name)
{
    if (!m_root.isObject())
        m_root = Json::Value(Json::objectValue);
    Json::Value &s = m_root[name];
    if (!s.isObject())
        s = Json::Value(Json::objectValue);
    return s;
}

bool SysConfig::getSysConfig(SysSettings &settings)
{
    Json::Value *s = section("sys");
    if (!s)
        return false;
    settings.micDevice = readText(*s, "sys_mic_device");
    settings.systemDevice = readText(*s, "sys_system_device");
    settings.recordPath = readText(*s, "sys_record_path");
    settings.hideWhenClose = readBool(*s, "sys_hide_when_close");
    settings.autoUpdate = readBool(*s, "sys_auto_update");
    settings.openPowerOn = readBool(*s, "sys_open_poweron");
    return true;
}

void SysConfig::setSysConfig(const SysSettings &settings)
{
    Json::Value &s = sectionForWrite("sys");
    s["sys_mic_device"] = text(settings.micDevice);
    s["sys_system_device"] = text(settings.systemDevice);
    s["sys_record_path"] = text(settings.recordPath);
    s["sys_hide_when_close"] = settings.hideWhenClose;
    s["sys_auto_update"] = settings.autoUpdate;
    s["sys_open_poweron"] = settings.openPowerOn;
}

bool SysConfig::getCameraConfig(CameraSettings &c)
{
    Json::Value *s = section("camera");
    if (!s)
        return false;
    c.slim = readInt(*s, "camera_slim");
    c.whitening = readInt(*s, "camera_whitening");
    c.blur = readInt(*s, "camera_blur");
    c.colour_temperature = readInt(*s, "camera_colour_temperature");
    c.slim_enable = readBool(*s, "camera_slim_enable");
    c.whitening_enable = readBool(*s, "camera_whitening_enable");
    c.blur_enable = readBool(*s, "camera_blur_enable");
    c.colour_temperature_enable = readBool(*s, "camera_colour_temperature_enable");
    c.turn_h = readBool(*s, "camera_turn_h");
    c.turn_v = readBool(*s, "camera_turn_v");
    c.effect = readInt(*s, "camera_effect");
    c.index_beauty = readInt(*s, "camera_index_beauty");
    c.index_resolution = readInt(*s, "camera_index_resolution");
    c.resolution_width = readInt(*s, "camera_resolution_width");
    c.resolution_height = readInt(*s, "camera_resolution_height");
    c.color_type = readInt(*s, "camera_color_type");
    return true;
}

bool SysConfig::getCameraConfig(CameraSettings *settings)
{
    return settings ? getCameraConfig(*settings) : false;
}

void SysConfig::setCameraConfig(const CameraSettings &c)
{
    Json::Value &s = sectionForWrite("camera");
    s["camera_slim"] = c.slim;
    s["camera_whitening"] = c.whitening;
    s["camera_blur"] = c.blur;
    s["camera_colour_temperature"] = c.colour_temperature;
    s["camera_slim_enable"] = c.slim_enable;
    s["camera_whitening_enable"] = c.whitening_enable;
    s["camera_blur_enable"] = c.blur_enable;
    s["camera_colour_temperature_enable"] = c.colour_temperature_enable;
    s["camera_effect"] = c.effect;
    s["camera_turn_h"] = c.turn_h;
    s["camera_turn_v"] = c.turn_v;
    s["camera_index_beauty"] = c.index_beauty;
    s["camera_index_resolution"] = c.index_resolution;
    s["camera_resolution_width"] = c.resolution_width;
    s["camera_resolution_height"] = c.resolution_height;
    s["camera_color_type"] = c.color_type;
}

void SysConfig::setCameraConfig(const CameraSettings *settings)
{
    if (settings)
        setCameraConfig(*settings);
}

bool SysConfig::getAccount(AccountInfo &account)
{
    Json::Value *s = section("account");
    if (!s)
        return false;
    account.name = readText(*s, "name");
    account.token = readText(*s, "token");
    account.autoLogin = readBool(*s, "auto_login");
    // Zone and mode keep the caller's defaults unless stored (and well-typed).
    const Json::Value &zone = (*s)["zone"];
    if (zone.isString())
        account.zone = readText(*s, "zone");
    const Json::Value &mode = (*s)["mode"];
    if (mode.isInt())
        account.mode = mode.asInt();
    return true;
}

void SysConfig::setAccount(const AccountInfo &account)
{
    Json::Value &s = sectionForWrite("account");
    s["name"] = text(account.name);
    s["token"] = text(account.token);
    s["auto_login"] = account.autoLogin;
    s["zone"] = text(account.zone);
    s["mode"] = account.mode;
}

bool SysConfig::getRoomConfig(RoomToolSettings &settings)
{
    Json::Value *s = section("room");
    if (!s)
        return false;
    settings.autoMute = readBool(*s, "room_keywords_enabled");
    settings.keywords = readText(*s, "room_keywords");
    settings.autoSpeak = readBool(*s, "autosendmsg_enabled");
    settings.content = readText(*s, "autosend_content");
    settings.interval = readInt(*s, "autosend_timespace");
    return true;
}

void SysConfig::setRoomConfig(const RoomToolSettings &settings)
{
    Json::Value &s = sectionForWrite("room");
    s["room_keywords_enabled"] = settings.autoMute;
    s["room_keywords"] = text(settings.keywords);
    s["autosendmsg_enabled"] = settings.autoSpeak;
    s["autosend_content"] = text(settings.content);
    s["autosend_timespace"] = settings.interval;
}

int SysConfig::cameraInt(const char *key)
{
    Json::Value *s = section("camera");
    return s ? readInt(*s, key) : -1;
}

int SysConfig::cameraResolutionIndex()
{
    return cameraInt("camera_index_resolution");
}

int SysConfig::cameraResolutionWidth()
{
    return cameraInt("camera_resolution_width");
}

int SysConfig::cameraResolutionHeight()
{
    return cameraInt("camera_resolution_height");
}

bool SysConfig::quitOnClose()
{
    Json::Value *s = section("sys");
    return s ? !readBool(*s, "sys_hide_when_close") : false;
}

std::string SysConfig::recordPath()
{
    Json::Value *s = section("sys");
    if (!s)
        return std::string();
    return readText(*s, "sys_record_path").toUtf8().toStdString();
}

bool SysConfig::autoLogin()
{
    Json::Value *s = section("account");
    return s ? readBool(*s, "auto_login") : false;
}
