#pragma once

#include <QString>

// Section "camera" of the settings store. The member initialisers are the
// camera page's defaults (the four levels are row 0 of kBeautyPresets).
struct CameraSettings
{
    int slim = 0;                          // "camera_slim", 0..100
    int whitening = 0;                     // "camera_whitening", 0..100
    int blur = 0;                          // "camera_blur", skin smoothing 0..100
    int colour_temperature = 0;            // "camera_colour_temperature", 0..100
    bool slim_enable = true;               // "camera_slim_enable"
    bool whitening_enable = true;          // "camera_whitening_enable"
    bool blur_enable = true;               // "camera_blur_enable"
    bool colour_temperature_enable = true; // "camera_colour_temperature_enable"
    bool turn_h = false;                   // "camera_turn_h", mirrored horizontally
    bool turn_v = false;                   // "camera_turn_v", flipped vertically
    int effect = -1;                       // "camera_effect", filter effect 0..7, -1 none
    int index_beauty = 0;                  // "camera_index_beauty", 0 restore, 1 one-key beauty
    int index_resolution = 1;              // "camera_index_resolution", 0 ordinary, 1 high, 2 super
    int resolution_width = 0;              // "camera_resolution_width", 0 none
    int resolution_height = 0;             // "camera_resolution_height", 0 none
    int color_type = 7;                    // "camera_color_type", capture colour format, 7 none
};

// A record holding the camera page's defaults.
inline CameraSettings defaultCameraSettings()
{
    return CameraSettings();
}

// One clarity row: output size, bitrate in kbit/s and frame rate.
struct ClarityPreset
{
    const char *button; // the button's text, UTF-8
    int width;
    int height;
    int bitrate;
    int frameRate;

    QString buttonText() const { return QString::fromUtf8(button); }
};

// Indexed by the clarity index (CameraSettings::index_resolution).
inline constexpr int kClarityPresetCount = 3;
inline constexpr ClarityPreset kClarityPresets[kClarityPresetCount] = {
    {"普清", 1280, 720, 800, 20},
    {"高清", 1280, 720, 1000, 25},
    {"超清", 1280, 720, 1300, 25},
};

// 4:3 sizes kept beside the table above; the clarity lookup does not select them.
inline constexpr ClarityPreset kClarityPresets4x3[kClarityPresetCount] = {
    {"普清", 640, 480, 800, 20},
    {"高清", 800, 600, 1000, 25},
    {"超清", 960, 720, 1300, 25},
};

// One beauty row: the four levels.
struct BeautyPreset
{
    int slim;
    int whitening;
    int blur;
    int colour_temperature;
};

// Row 0 holds the defaults ("恢复默认"), row 1 the one-key beauty ("一键美颜");
// rows 2 and 3 are selected by no caller.
inline constexpr int kBeautyPresetCount = 4;
inline constexpr BeautyPreset kBeautyPresets[kBeautyPresetCount] = {
    {0, 0, 0, 0},
    {66, 60, 50, 30},
    {0, 47, 27, 74},
    {0, 76, 63, 18},
};
