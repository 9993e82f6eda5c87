#pragma once

// One item of the engine's scene, as the engine keeps it, and its text style.

#include "LiveEngine.h"

#include <QJsonObject>

#include <array>
#include <string>
#include <vector>

namespace castcore {

struct TextStyle
{
    std::u16string font;
    std::u16string text;
    int size = 0;
    uint32_t color = 0;
    int opacity = 0;
    int rollSpeed = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool vertical = false;
    int backgroundOpacity = 0;
    uint32_t backgroundColor = 0;
    int outline = 0;
    float outlineSize = 0.0f;
    uint32_t outlineColor = 0;
    int outlineOpacity = 0;
    bool extend = false;
    int extendWidth = 0;
    int extendHeight = 0;
    bool newline = false;
    bool scroll = false;
    int align = 0;

    // Takes the fields whose bit is set in `mask`; a null string pointer
    // leaves that string as it is. Strings are read no further than the
    // caller's buffers (kTextFontNameUnits, kTextTextUnits).
    void merge(const TextInfo &info, uint32_t mask);
    // Writes every field; the strings go into the caller's buffers when set.
    void fill(TextInfo *info) const;
};

// An extended text that rolls (a roll speed, or the scroll flag) rolls
// through its extension as through a window.
bool textRollsInExtension(const TextStyle &style);

// Deterministic size of a text source: grows with the text's length and the
// font size, independent of installed fonts. An extended text is at least
// its extend size on each axis; one that rolls in it is exactly that size.
void textSourceSize(const TextStyle &style, int *width, int *height);

struct SceneItem
{
    int id = 0;
    int kind = 0;
    std::string name; // empty: not in the store
    std::vector<std::string> sources;
    int sourceWidth = 0;
    int sourceHeight = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool hasRelativeRect = false;
    float relX = 0, relY = 0, relWidth = 0, relHeight = 0;
    int z = 0;
    int alpha = 255;
    bool flag = false;
    float aspect = 0.0f;
    int aspectMode = 0;
    std::array<float, 3> rotation = {0.0f, 0.0f, 0.0f};
    uint32_t colorEffect = 0;
    std::vector<int> watermark;
    bool hasText = false;
    TextStyle text;
    bool hasEffectiveText = false;
    std::u16string effectiveText;
    std::u16string cameraDevice;
    CameraParams cameraParams;
    std::array<int, 4> openArgs = {0, 0, 0, 0};
    int display = -1;
    std::u16string plugin;
    // Not saved: they belong to this run.
    uint64_t revision = 0; // changes whenever what the source shows is set anew
    IVideoFilter *filter = nullptr;
    ICustomCapture *capture = nullptr;

    QJsonObject toJson() const;
    static SceneItem fromJson(const QJsonObject &o);
};

std::u16string toU16(const QString &s);
QString fromU16(const std::u16string &s);
// A zero-terminated UTF-16 text; empty for null.
std::u16string u16FromPtr(const char16_t *s);
// The text in a caller buffer of `capacity` units: up to its terminator, at
// most capacity - 1 units (never ending on half a surrogate pair).
std::u16string u16FromBuffer(const char16_t *s, int capacity);
// Copies `s` cut to capacity - 1 units (never splitting a surrogate pair)
// and a terminator; returns the units copied.
int copyU16(const std::u16string &s, char16_t *buffer, int capacity);

} // namespace castcore
