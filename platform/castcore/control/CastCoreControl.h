#pragma once

// Control face of the engine layer, for tests and whole-program runs: one per
// process, shared by every engine object. Scripts are keyed by the interface
// operation's name ("Init", "Open", "Start", ...); gates hold an operation
// (or the "OnPushState" delivery) until opened.
//
// Integer scripts ("ints"): Init, CreateItem, CreateTextItem, AddScreenCapture,
// AddOverlayFile, AddCustomCapture, OpenCamera, OpenPlugin and Open fail with
// a scripted value of 0 or below (a positive one is ignored: ids come from the
// item table), except that OpenPlugin opens any named plug-in under a scripted
// positive id (-1 when that id was handed out before); OpenAudioDevice,
// GetDriveIndex and OnWindowMessage answer the scripted value.
// Boolean scripts ("bools"): CreateLiveInstance false gives a null engine;
// IsDirectX10Usable, Start, SetCameraParams and ShowPluginConfig answer the
// scripted value; every other boolean operation fails when scripted false.

#include "CastCoreWorld.h"
#include "ControlFace.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace castcore {

class CastCoreEngine;

// Answer of GetCurrentMicDevice / GetCurrentSystemDevice.
struct CurrentDevice
{
    bool found = false;
    std::u16string key;
};

class CastCoreControl
{
public:
    static CastCoreControl &instance();

    mvplatform::CallLog &log() { return m_log; }
    mvplatform::Gates &gates() { return m_gates; }
    mvplatform::Script<int> &ints() { return m_ints; }
    mvplatform::Script<bool> &bools() { return m_bools; }
    // "ListAudioDevices": the records listed instead of the world's devices.
    mvplatform::Script<std::vector<AudioDevice>> &audioLists() { return m_audioLists; }
    // "ListPlugins": the names listed instead of the world's plug-ins.
    mvplatform::Script<std::vector<std::u16string>> &pluginLists() { return m_pluginLists; }
    // "GetCurrentMicDevice", "GetCurrentSystemDevice".
    mvplatform::Script<CurrentDevice> &currentDevices() { return m_currentDevices; }

    // The engine's current world (CastCoreWorld.h's currentWorld()).
    World world() const;
    void setWorld(const World &world);

    // Whether a push to `url` connects without a connection being made: per
    // URL as set here, else refused when the world lists it, else nothing
    // scripted (the engine really connects).
    void setPushOutcome(const std::string &url, bool connects);
    // The outcome of every address without one of its own (facade tests that
    // need a connected line but no RTMP server); unset by reset().
    void setDefaultPushOutcome(bool connects);
    std::optional<bool> scriptedPushOutcome(const std::string &url) const;

    // ISceneStore::Open(name) answers `code` (0 or below) until reset.
    void failOpen(const std::string &name, int code);
    std::optional<int> openFailure(const std::string &name) const;

    // Callbacks run on the caller's thread instead of the engine's threads.
    void setInlineCallbacks(bool on);
    bool inlineCallbacks() const;

    // The engine made last and still alive, or null.
    CastCoreEngine *engine() const;
    // Waits until the latest engine's threads have delivered everything.
    bool waitIdle(int timeoutMs = 5000);

    // Opens every gate, clears the call log, scripts, push outcomes and open
    // failures, leaves inline callbacks off and reloads the world. Engines
    // and their items stay.
    void reset();

    // Engines register themselves, with how to wait until their threads are
    // idle.
    void attach(CastCoreEngine *engine, std::function<bool(int timeoutMs)> waitIdle);
    void detach(CastCoreEngine *engine);

private:
    CastCoreControl();

    mutable std::mutex m_mutex;
    mvplatform::CallLog m_log;
    mvplatform::Gates m_gates;
    mvplatform::Script<int> m_ints;
    mvplatform::Script<bool> m_bools;
    mvplatform::Script<std::vector<AudioDevice>> m_audioLists;
    mvplatform::Script<std::vector<std::u16string>> m_pluginLists;
    mvplatform::Script<CurrentDevice> m_currentDevices;
    std::map<std::string, bool> m_pushOutcomes;
    std::optional<bool> m_defaultPushOutcome;
    std::map<std::string, int> m_openFailures;
    bool m_inline = false;
    struct AttachedEngine
    {
        CastCoreEngine *engine;
        std::function<bool(int timeoutMs)> waitIdle;
    };
    std::vector<AttachedEngine> m_engines;
};

inline CastCoreControl &control()
{
    return CastCoreControl::instance();
}

} // namespace castcore
