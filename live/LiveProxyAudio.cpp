#include "LiveProxy.h"

#include "Logger.h"
#include "TextHelpers.h"

#include <algorithm>

// The microphone and the system sound: listing, opening by name, the open
// device and the volumes. GUI thread only.

namespace {

constexpr int kCurrentDeviceUnits = 256;

struct AudioKind
{
    int kind;
    int channel;
    const char *openLine;
    const char *failLine;
    const char *successLine;
};

const AudioKind kMicrophone = {AudioMicrophone, 1, "open mic device: %s.", "mic device open fail.",
                               "mic device open success."};
const AudioKind kSystemSound = {AudioSystemSound, 2, "open system device: %s.", "system device open fail.",
                                "system device open success."};

const AudioKind &audioKind(int kind)
{
    return kind == AudioSystemSound ? kSystemSound : kMicrophone;
}

// One table per kind for the whole process; a new listing overwrites it.
LiveProxy::AudioDeviceTable g_micTable;
LiveProxy::AudioDeviceTable g_systemTable;

LiveProxy::AudioDeviceTable &tableOf(int kind)
{
    return kind == AudioSystemSound ? g_systemTable : g_micTable;
}

std::u16string textOf(const char16_t *units, size_t capacity)
{
    return std::u16string(units, std::find(units, units + capacity, u'\0'));
}

} // namespace

void LiveProxy::listAudioDevices(int kind, AudioDeviceTable &table)
{
    table.count = 0;
    if (!m_scene)
        return;
    int listed = 0;
    AudioDeviceRecord *records = m_scene->ListAudioDevices(&listed);
    for (int i = 0; records && i < listed && table.count < kMaxAudioDevices; ++i) {
        if (records[i].kind != kind)
            continue;
        AudioDeviceRecord &entry = table.entries[table.count++];
        entry = AudioDeviceRecord();
        // Each text keeps its terminator, whatever the engine wrote.
        std::copy_n(records[i].name, 254, entry.name);
        std::copy_n(records[i].key, 254, entry.key);
        entry.kind = kind;
    }
    m_scene->FreeBuffer(records);
}

void LiveProxy::micDeviceList(const AudioDeviceRecord **table, int *count)
{
    listAudioDevices(AudioMicrophone, g_micTable);
    if (table)
        *table = g_micTable.entries;
    if (count)
        *count = g_micTable.count;
}

void LiveProxy::systemDeviceList(const AudioDeviceRecord **table, int *count)
{
    listAudioDevices(AudioSystemSound, g_systemTable);
    if (table)
        *table = g_systemTable.entries;
    if (count)
        *count = g_systemTable.count;
}

int LiveProxy::openAudioDevice(int kind, const char16_t *name)
{
    const AudioKind &k = audioKind(kind);
    Logger *log = Logger::instance();
    log->write(Logger::LOG_INFO, k.openLine, name ? wstringToUtf8(name).c_str() : "");
    if (!name || !m_scene) {
        log->write(Logger::LOG_ERROR, "%s", k.failLine);
        return -1;
    }
    AudioDeviceTable &table = tableOf(kind);
    listAudioDevices(kind, table);
    const std::u16string wanted(name);
    int result = -1;
    for (int i = 0; i < table.count; ++i) {
        if (textOf(table.entries[i].name, 255) != wanted)
            continue;
        result = m_scene->OpenAudioDevice(table.entries[i].key);
        if (kind == AudioMicrophone)
            m_scene->SetMicOption(0);
        break;
    }
    log->write(Logger::LOG_INFO, "%s", k.successLine);
    return result;
}

int LiveProxy::openMicDevice(const char16_t *name)
{
    return openAudioDevice(AudioMicrophone, name);
}

int LiveProxy::openSystemDevice(const char16_t *name)
{
    return openAudioDevice(AudioSystemSound, name);
}

void LiveProxy::currentAudioDevice(int kind, std::u16string &name)
{
    if (!m_scene)
        return;
    char16_t key[kCurrentDeviceUnits] = {};
    const bool found = kind == AudioSystemSound ? m_scene->GetCurrentSystemDevice(key, kCurrentDeviceUnits, 0)
                                                : m_scene->GetCurrentMicDevice(key, kCurrentDeviceUnits, 0);
    if (!found)
        return;
    key[kCurrentDeviceUnits - 1] = u'\0';
    AudioDeviceTable &table = tableOf(kind);
    listAudioDevices(kind, table);
    const std::u16string current(key);
    for (int i = 0; i < table.count; ++i) {
        if (textOf(table.entries[i].key, 255) == current) {
            name = textOf(table.entries[i].name, 255);
            return;
        }
    }
}

void LiveProxy::currentMicDevice(std::u16string &name)
{
    currentAudioDevice(AudioMicrophone, name);
}

void LiveProxy::currentSystemDevice(std::u16string &name)
{
    currentAudioDevice(AudioSystemSound, name);
}

void LiveProxy::setMicLevel(int value)
{
    if (m_scene)
        m_scene->SetVolume(audioKind(AudioMicrophone).channel, value);
}

void LiveProxy::setSystemLevel(int value)
{
    if (m_scene)
        m_scene->SetVolume(audioKind(AudioSystemSound).channel, value);
}
