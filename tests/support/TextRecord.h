#pragma once

// Header only: it needs the engine layer's record, which the test areas that
// use it link and testsupport itself does not.

#include "LiveEngine.h"

#include <string>

namespace testsupport {

// A text record with its own buffers, every field marked. Short strings are
// padded to the engine's buffer sizes, so a reader that stays within those
// sizes never runs past them; longer ones are kept whole.
struct TextRecord
{
    std::u16string font = u"微软雅黑";
    std::u16string text;
    TextInfo info;

    explicit TextRecord(const std::u16string &t, int size = 40)
        : text(t)
    {
        if (text.size() < size_t(kTextTextUnits))
            text.resize(kTextTextUnits, u'\0');
        font.resize(kTextFontNameUnits, u'\0');
        info.mask = 0xFFFFFFFF;
        info.fontName = font.data();
        info.text = text.data();
        info.size = size;
        info.color = 0xFF000000;
        info.opacity = 100;
    }
};

} // namespace testsupport
