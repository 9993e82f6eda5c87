#include "SysConfig.h"

#include "Logger.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <json/reader.h>
#include <json/writer.h>

#include <cstddef>
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

// One member of a settings record and its key. A field marked `keep` keeps
// the caller's value unless the file holds one of the right type.
template <typename Record>
struct Field
{
    constexpr Field(const char *k, QString Record::*member, bool keepUnlessStored = false)
        : key(k), text(member), keep(keepUnlessStored) {}
    constexpr Field(const char *k, int Record::*member, bool keepUnlessStored = false)
        : key(k), number(member), keep(keepUnlessStored) {}
    constexpr Field(const char *k, bool Record::*member)
        : key(k), flag(member) {}

    const char *key;
    QString Record::*text = nullptr;
    int Record::*number = nullptr;
    bool Record::*flag = nullptr;
    bool keep = false;
};

// False, leaving the record alone, when the section is missing.
template <typename Record, std::size_t N>
bool readFields(Json::Value *section, const Field<Record> (&fields)[N], Record &record)
{
    if (!section)
        return false;
    for (const Field<Record> &f : fields) {
        const Json::Value &v = (*section)[f.key];
        if (f.text) {
            if (!f.keep || v.isString())
                record.*f.text = readText(*section, f.key);
        } else if (f.number) {
            if (!f.keep || v.isInt())
                record.*f.number = readInt(*section, f.key);
        } else {
            record.*f.flag = readBool(*section, f.key);
        }
    }
    return true;
}

template <typename Record, std::size_t N>
void writeFields(Json::Value &section, const Field<Record> (&fields)[N], const Record &record)
{
    for (const Field<Record> &f : fields) {
        if (f.text)
            section[f.key] = text(record.*f.text);
        else if (f.number)
            section[f.key] = record.*f.number;
        else
            section[f.key] = record.*f.flag;
    }
}

const Field<SysSettings> kSysFields[] = {
    {"sys_mic_device", &SysSettings::micDevice},
    {"sys_system_device", &SysSettings::systemDevice},
    {"sys_record_path", &SysSettings::recordPath},
    {"sys_hide_when_close", &SysSettings::hideWhenClose},
    {"sys_auto_update", &SysSettings::autoUpdate},
    {"sys_open_poweron", &SysSettings::openPowerOn},
};

const Field<CameraSettings> kCameraFields[] = {
    {"camera_slim", &CameraSettings::slim},
    {"camera_whitening", &CameraSettings::whitening},
    {"camera_blur", &CameraSettings::blur},
    {"camera_colour_temperature", &CameraSettings::colour_temperature},
    {"camera_slim_enable", &CameraSettings::slim_enable},
    {"camera_whitening_enable", &CameraSettings::whitening_enable},
    {"camera_blur_enable", &CameraSettings::blur_enable},
    {"camera_colour_temperature_enable", &CameraSettings::colour_temperature_enable},
    {"camera_turn_h", &CameraSettings::turn_h},
    {"camera_turn_v", &CameraSettings::turn_v},
    {"camera_effect", &CameraSettings::effect},
    {"camera_index_beauty", &CameraSettings::index_beauty},
    {"camera_index_resolution", &CameraSettings::index_resolution},
    {"camera_resolution_width", &CameraSettings::resolution_width},
    {"camera_resolution_height", &CameraSettings::resolution_height},
    {"camera_color_type", &CameraSettings::color_type},
};

// Zone and mode keep the caller's defaults unless stored (and well-typed).
const Field<AccountInfo> kAccountFields[] = {
    {"name", &AccountInfo::name},
    {"token", &AccountInfo::token},
    {"auto_login", &AccountInfo::autoLogin},
    {"zone", &AccountInfo::zone, true},
    {"mode", &AccountInfo::mode, true},
};

const Field<RoomToolSettings> kRoomFields[] = {
    {"room_keywords_enabled", &RoomToolSettings::autoMute},
    {"room_keywords", &RoomToolSettings::keywords},
    {"autosendmsg_enabled", &RoomToolSettings::autoSpeak},
    {"autosend_content", &RoomToolSettings::content},
    {"autosend_timespace", &RoomToolSettings::interval},
};

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
    keepUnreadableFile(file);
}

// The fresh file written at exit would replace a file that could not be read:
// the user's settings are kept beside it, for a person to mend.
void SysConfig::keepUnreadableFile(QFile &file)
{
    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.isFile() || info.size() == 0)
        return;
    file.close();
    const QString kept = path + QStringLiteral(".bad");
    QFile::remove(kept);
    if (QFile::rename(path, kept))
        Logger::instance()->write(Logger::LOG_ERROR, "SysConfig: %s cannot be read; kept as %s, defaults used.",
                                  path.toUtf8().constData(), kept.toUtf8().constData());
    else
        Logger::instance()->write(Logger::LOG_ERROR, "SysConfig: %s cannot be read; defaults used.",
                                  path.toUtf8().constData());
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
    return readFields(section("sys"), kSysFields, settings);
}

void SysConfig::setSysConfig(const SysSettings &settings)
{
    writeFields(sectionForWrite("sys"), kSysFields, settings);
}

bool SysConfig::getCameraConfig(CameraSettings &settings)
{
    return readFields(section("camera"), kCameraFields, settings);
}

bool SysConfig::getCameraConfig(CameraSettings *settings)
{
    return settings ? getCameraConfig(*settings) : false;
}

void SysConfig::setCameraConfig(const CameraSettings &settings)
{
    writeFields(sectionForWrite("camera"), kCameraFields, settings);
}

void SysConfig::setCameraConfig(const CameraSettings *settings)
{
    if (settings)
        setCameraConfig(*settings);
}

bool SysConfig::getAccount(AccountInfo &account)
{
    return readFields(section("account"), kAccountFields, account);
}

void SysConfig::setAccount(const AccountInfo &account)
{
    writeFields(sectionForWrite("account"), kAccountFields, account);
}

bool SysConfig::getRoomConfig(RoomToolSettings &settings)
{
    return readFields(section("room"), kRoomFields, settings);
}

void SysConfig::setRoomConfig(const RoomToolSettings &settings)
{
    writeFields(sectionForWrite("room"), kRoomFields, settings);
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
