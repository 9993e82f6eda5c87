#pragma once

#include "LiveEngine.h"

#include <QColor>
#include <QString>
#include <QStringList>

// The look of a text item as the text editor and the preview exchange it.
// The engine keeps the same look as a TextInfo; toEngineText and
// fromEngineText map one onto the other. itemId and accepted stay here.
struct TextOverlayInfo
{
    QString text;
    QString font;
    QColor color;
    int size = 0;
    int opacity = 0;   // percent
    int rollSpeed = 0; // 0 does not scroll
    QColor backgroundColor;
    int backgroundOpacity = 0; // percent
    bool outline = false;
    QColor outlineColor;
    int outlineOpacity = 0; // percent
    int outlineSize = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool vertical = false;
    bool extend = false;
    int extendWidth = 0;
    int extendHeight = 0;
    bool extendScroll = false;
    bool extendNewline = false;
    int extendAlign = 0; // index into AlignmentNames()
    int itemId = -1;     // the engine's text item; -1 none
    bool accepted = false;
};

// "居左", "居中", "居右": the names of the extension area's alignments, by index.
const QStringList &AlignmentNames();

// Fills every field of `info` but mask from the record. fontName and text
// must point at buffers of kTextFontNameUnits and kTextTextUnits units; the
// strings are cut to fit them on a whole character and always terminated.
// Colours travel as opaque 0xFFRRGGBB words; nothing is scaled.
void toEngineText(const TextOverlayInfo &record, TextInfo *info);

// The reverse: reads the strings (within the same buffer sizes) and every
// field into the record; colours come back opaque, the outline width is
// truncated toward zero. itemId and accepted are left alone.
void fromEngineText(const TextInfo &info, TextOverlayInfo *record);

// A TextInfo that carries every field, with its own string buffers.
class EngineTextBuffers
{
public:
    EngineTextBuffers();
    EngineTextBuffers(const EngineTextBuffers &) = delete;
    EngineTextBuffers &operator=(const EngineTextBuffers &) = delete;

    TextInfo info;

private:
    char16_t m_font[kTextFontNameUnits] = {};
    char16_t m_text[kTextTextUnits] = {};
};
