#pragma once

#include <cstdint>

// Writes the address as dotted text, most significant byte first
// (0xC0A80001 gives "192.168.0.1"), at most 16 characters with the ending
// zero. Returns the destination; null when it is null.
char *SttIpToString(std::uint32_t address, char *destination);

// Reads up to four parts separated by '.': the first three count only when
// a '.' follows them, the fourth is whatever follows the third '.'. "*" gives
// 255, anything else its atoi value; a part that does not count gives 0.
// Parts are not range-checked, so one above 255 spills into the bytes above.
// Only the first 63 characters are read; null gives 0.
std::uint32_t SttIpFromString(const char *text);
