#pragma once

// Devices and settings the engine layer serves: the "engine" section of the
// MORVASHOW_WORLD file, or a small built-in world. Every key is optional:
//   "engine": {
//     "cameras": [{"name": "Cam", "formats": [{"format": "MJPG" or 0..7,
//                  "width": 1280, "height": 720, "fps": 30, "extra": 0}]}],
//     "audioDevices": [{"key": "{mic}", "name": "麦克风", "kind": 1 or 2,
//                       "tone": 440}],  (Hz of the sine it sounds; 0 silence)
//     "displays": [{"x": 0, "y": 0, "width": 1920, "height": 1080}],
//     "plugins": ["弹幕助手"],
//     "refusedPushUrls": ["rtmp://..."],
//     "driveIndex": 2,
//     "directX10": true,
//     "initResult": 0         (below 0: every scene start fails with it)
//   }

#include "LiveEngine.h"

#include <QJsonObject>

#include <string>
#include <vector>

namespace castcore {

struct CameraDevice
{
    std::u16string name;
    std::vector<CameraFormat> formats; // the first is used when a camera opens
};

struct AudioDevice
{
    std::u16string key;
    std::u16string name;
    int kind = AudioMicrophone;
    // A world device sounds a sine at this frequency; 0 (the built-in
    // devices) is silence. Devices of a sound server ignore it.
    double toneHz = 0.0;
};

struct DisplayRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct World
{
    std::vector<CameraDevice> cameras;
    bool camerasFromFile = false; // a world file named them (else built in)
    std::vector<AudioDevice> audioDevices;
    std::vector<DisplayRect> displays;
    std::vector<std::u16string> plugins;
    std::vector<std::string> refusedPushUrls;
    int driveIndex = 2;
    bool directX10 = true;
    int initResult = 0;

    // One camera with a few formats, a microphone, a system-sound device,
    // one 1920x1080 display and two plug-ins.
    static World builtIn();
    // Sections present in `engine` replace those of the built-in world.
    static World fromJson(const QJsonObject &engine);
    // The world file's "engine" section, else the built-in world.
    static World load();
};

// The world the engine serves now, one per process: the world file's (or the
// built-in) world from first use on, until the control face or
// mirrorRealScreens() replaces it. Any thread.
World currentWorld();
void setCurrentWorld(const World &world);

// Whole-program runs: unless the world file's "engine" section names
// displays, the engine's displays become the screens the application sees
// now, so that a capture never claims more than a screen has. Needs the
// application object; without one, or without screens, nothing changes.
void mirrorRealScreens();

// Colour format number of a name ("YUY2" ... "MJPG"); 7 for anything else.
int colorFormatNumber(const QString &name);

} // namespace castcore
