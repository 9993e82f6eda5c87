#include "ScreenItemRecord.h"

#include <cstring>

void ScreenItemRecord::copyField(char *field, int size, const char *utf8)
{
    std::memset(field, 0, size_t(size));
    if (!utf8)
        return;
    size_t length = std::strlen(utf8);
    if (length > size_t(size - 1)) {
        length = size_t(size - 1);
        // Step back over continuation bytes to the lead byte of the
        // character that would be cut, and leave that character out.
        if ((static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80) {
            while (length > 0 && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80)
                --length;
        }
    }
    std::memcpy(field, utf8, length);
}
