#pragma once

#include <cstdint>

// AES (FIPS-197) on single 16-byte blocks, keys of 16, 24 or 32 bytes.
// Encrypt and Decrypt transform each block of a buffer by itself (ECB);
// destination and source may be the same buffer.
class SttAES
{
public:
    SttAES();
    // A null key leaves the cipher without a key.
    SttAES(const void *key, int length);
    virtual ~SttAES();

    // The supported key lengths in bytes, ended by 0: 32, 24, 16.
    virtual const int *KeySizes() const;
    virtual int BlockSize() const;
    // The key length set, in bytes; 0 when no key is set.
    virtual int KeyLength() const;
    // False, and the previous key stays, unless the length is 16, 24 or 32.
    virtual bool SetKey(const void *key, int length);
    // False, and nothing is written, when the length is not a multiple of 16
    // or no key is set. A length of 0 succeeds, key or not.
    virtual bool Encrypt(void *destination, const void *source, unsigned length) const;
    virtual bool Decrypt(void *destination, const void *source, unsigned length) const;

private:
    bool Transform(bool encrypt, void *destination, const void *source, unsigned length) const;

    static constexpr int MaxRoundKeyWords = 4 * 15;

    int m_keyLength = 0;
    int m_rounds = 0;
    std::uint32_t m_encryptKeys[MaxRoundKeyWords] = {};
    std::uint32_t m_decryptKeys[MaxRoundKeyWords] = {};
};

// The key of enciphered frames; a peer must use the same 32 bytes.
extern const unsigned char SttFrameKey[32];

// The process-wide cipher, keyed with SttFrameKey during static
// initialisation.
SttAES &SttGlobalAES();
