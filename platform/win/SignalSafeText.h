#pragma once

#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <unistd.h>

namespace mvplatform {

// Text built in a fixed buffer without allocating, locking or calling into
// the C library's formatting, so that a signal handler may use it. Text that
// does not fit is cut off; the buffer always ends with a NUL.
template <std::size_t N>
class SignalSafeText
{
public:
    SignalSafeText &add(const char *s)
    {
        while (s && *s && m_length + 1 < N)
            m_buffer[m_length++] = *s++;
        m_buffer[m_length] = '\0';
        return *this;
    }
    SignalSafeText &add(char c)
    {
        const char s[2] = {c, '\0'};
        return add(s);
    }
    // Decimal, at least `width` digits with leading zeros.
    SignalSafeText &addDecimal(long long value, int width = 1)
    {
        char digits[24];
        int n = 0;
        const bool negative = value < 0;
        unsigned long long v = negative ? 0ULL - static_cast<unsigned long long>(value)
                                        : static_cast<unsigned long long>(value);
        do {
            digits[n++] = char('0' + v % 10);
            v /= 10;
        } while (v && n < 24);
        while (n < width && n < 24)
            digits[n++] = '0';
        if (negative)
            add('-');
        while (n > 0)
            add(digits[--n]);
        return *this;
    }
    // "0x" and 16 lower-case hex digits.
    SignalSafeText &addHex(std::uintptr_t value)
    {
        static const char hex[] = "0123456789abcdef";
        add("0x");
        for (int shift = int(sizeof(value) * 8) - 4; shift >= 0; shift -= 4)
            add(hex[(value >> shift) & 0xf]);
        return *this;
    }

    const char *text() const { return m_buffer; }
    std::size_t length() const { return m_length; }

private:
    char m_buffer[N] = {};
    std::size_t m_length = 0;
};

// Writes all of the bytes, going on after an interrupted or partial write;
// stops at the first failure. Async-signal-safe.
inline void writeFully(int fd, const char *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        data += n;
        size -= std::size_t(n);
    }
}

} // namespace mvplatform
