#include "TextOverlayInfo.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

uint32_t opaqueWord(const QColor &color)
{
    return 0xFF000000u | (uint32_t(color.red()) << 16) | (uint32_t(color.green()) << 8) | uint32_t(color.blue());
}

QColor opaqueColor(uint32_t word)
{
    return QColor(int((word >> 16) & 0xFF), int((word >> 8) & 0xFF), int(word & 0xFF), 255);
}

// Copies at most capacity - 1 units and the terminator; a cut never leaves
// half of a surrogate pair behind.
void copyToBuffer(const QString &text, char16_t *buffer, int capacity)
{
    if (!buffer || capacity <= 0)
        return;
    int n = std::min(text.size(), capacity - 1);
    if (n > 0 && n < text.size() && text.at(n - 1).isHighSurrogate())
        --n;
    for (int i = 0; i < n; ++i)
        buffer[i] = char16_t(text.at(i).unicode());
    buffer[n] = 0;
}

// Toward zero; a value no int holds (or no number at all) is clamped, not
// left to undefined behaviour.
int truncatedWidth(float width)
{
    if (std::isnan(width))
        return 0;
    if (width >= 2147483647.0f)
        return std::numeric_limits<int>::max();
    if (width <= -2147483648.0f)
        return std::numeric_limits<int>::min();
    return int(width);
}

QString readBuffer(const char16_t *buffer, int capacity)
{
    if (!buffer)
        return QString();
    int n = 0;
    while (n < capacity && buffer[n])
        ++n;
    return QString::fromUtf16(buffer, n);
}

} // namespace

const QStringList &AlignmentNames()
{
    static const QStringList names{QStringLiteral("居左"), QStringLiteral("居中"), QStringLiteral("居右")};
    return names;
}

void toEngineText(const TextOverlayInfo &record, TextInfo *info)
{
    if (!info)
        return;
    copyToBuffer(record.font, info->fontName, kTextFontNameUnits);
    copyToBuffer(record.text, info->text, kTextTextUnits);
    info->size = record.size;
    info->color = opaqueWord(record.color);
    info->opacity = record.opacity;
    info->rollSpeed = record.rollSpeed;
    info->bold = record.bold;
    info->italic = record.italic;
    info->underline = record.underline;
    info->vertical = record.vertical;
    info->backgroundOpacity = record.backgroundOpacity;
    info->backgroundColor = opaqueWord(record.backgroundColor);
    info->outline = record.outline ? 1 : 0;
    info->outlineSize = float(record.outlineSize);
    info->outlineColor = opaqueWord(record.outlineColor);
    info->outlineOpacity = record.outlineOpacity;
    info->extend = record.extend;
    info->extendWidth = record.extendWidth;
    info->extendHeight = record.extendHeight;
    // The engine keeps wrapping before scrolling; the record the other way round.
    info->newline = record.extendNewline;
    info->scroll = record.extendScroll;
    info->align = record.extendAlign;
}

void fromEngineText(const TextInfo &info, TextOverlayInfo *record)
{
    if (!record)
        return;
    record->font = readBuffer(info.fontName, kTextFontNameUnits);
    record->text = readBuffer(info.text, kTextTextUnits);
    record->size = info.size;
    record->color = opaqueColor(info.color);
    record->opacity = info.opacity;
    record->rollSpeed = info.rollSpeed;
    record->bold = info.bold != 0;
    record->italic = info.italic != 0;
    record->underline = info.underline != 0;
    record->vertical = info.vertical != 0;
    record->backgroundOpacity = info.backgroundOpacity;
    record->backgroundColor = opaqueColor(info.backgroundColor);
    record->outline = info.outline != 0;
    record->outlineSize = truncatedWidth(info.outlineSize);
    record->outlineColor = opaqueColor(info.outlineColor);
    record->outlineOpacity = info.outlineOpacity;
    record->extend = info.extend != 0;
    record->extendWidth = info.extendWidth;
    record->extendHeight = info.extendHeight;
    record->extendNewline = info.newline != 0;
    record->extendScroll = info.scroll != 0;
    record->extendAlign = info.align;
}

EngineTextBuffers::EngineTextBuffers()
{
    info.mask = 0xFFFFFFFFu;
    info.fontName = m_font;
    info.text = m_text;
}
