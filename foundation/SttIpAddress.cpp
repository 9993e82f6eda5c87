#include "SttIpAddress.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

char *SttIpToString(std::uint32_t address, char *destination)
{
    if (!destination)
        return nullptr;
    std::snprintf(destination, 16, "%u.%u.%u.%u", (address >> 24) & 0xFF, (address >> 16) & 0xFF,
                  (address >> 8) & 0xFF, address & 0xFF);
    return destination;
}

namespace {

std::uint32_t partValue(const char *part)
{
    if (std::strcmp(part, "*") == 0)
        return 255;
    return static_cast<std::uint32_t>(std::atoi(part));
}

} // namespace

std::uint32_t SttIpFromString(const char *text)
{
    if (!text)
        return 0;
    char buffer[64];
    std::strncpy(buffer, text, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';

    std::uint32_t parts[4] = {0, 0, 0, 0};
    char *part = buffer;
    int counted = 0;
    for (; counted < 3; ++counted) {
        char *dot = std::strchr(part, '.');
        if (!dot)
            break;
        *dot = '\0';
        parts[counted] = partValue(part);
        part = dot + 1;
    }
    if (counted == 3)
        parts[3] = partValue(part);
    return (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
}
