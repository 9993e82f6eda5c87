#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// MD5 digest (RFC 1321). Feed bytes with update(), then finalize() gives the
// 16 digest bytes. finalize() ends the message: later update() calls are
// ignored and finalize() answers the same digest again; init() starts anew.
class Md5
{
public:
    Md5();

    void init();
    void update(const void *input, size_t length);
    const unsigned char *finalize();

    static constexpr int digestSize() { return 16; }
    // Bytes fed so far. The count is 64-bit, so digests stay right past 512 MiB.
    uint64_t byteCount() const { return m_bitCount / 8; }

private:
    void transform(const unsigned char *block);

    uint32_t m_state[4];
    unsigned char m_block[64];
    uint64_t m_bitCount;
    uint32_t m_blockFill;
    unsigned char m_digest[16];
    bool m_finalized;
};

// Lower-case hex MD5 of the text up to its first zero byte (the text is taken
// as a C string), two digits per digest byte.
void md5HexString(const std::string &input, std::string &output);
// The same, for callers that pass the output by pointer; a null output is ignored.
void md5HexString(const std::string &input, std::string *output);

// Lower-case hex MD5 over exactly `length` bytes into `output`, which must
// hold at least 33 characters (32 digits and a terminating zero).
void md5HexOfBuffer(const void *input, size_t length, char *output);
