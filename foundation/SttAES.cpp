#include "SttAES.h"

#include <cstring>

const unsigned char SttFrameKey[32] = {
    0x6f, 0x7f, 0xa9, 0xe7, 0x3d, 0x04, 0x4d, 0x34, 0x85, 0x8e, 0xf1, 0x44, 0xd9, 0x73, 0x2e, 0x3f,
    0x02, 0xec, 0x8f, 0x5b, 0x5e, 0x29, 0x6c, 0xdb, 0x41, 0xb7, 0x8a, 0x2a, 0xd0, 0xd8, 0x33, 0x8b,
};

namespace {

SttAES g_frameCipher(SttFrameKey, int(sizeof SttFrameKey));

using u32 = std::uint32_t;
using u8 = std::uint8_t;

u8 xtime(u8 x)
{
    return u8((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

u8 gfMul(u8 a, u8 b)
{
    u8 r = 0;
    while (b) {
        if (b & 1)
            r ^= a;
        a = xtime(a);
        b >>= 1;
    }
    return r;
}

u32 ror8(u32 x)
{
    return (x >> 8) | (x << 24);
}

// The S-boxes and the round tables, derived once from the field arithmetic.
struct Tables
{
    u8 sbox[256];
    u8 inverseSbox[256];
    u32 te[4][256];
    u32 td[4][256];

    Tables()
    {
        // Multiplicative inverses through powers of the generator 3.
        u8 power[255];
        u8 logTable[256] = {};
        u8 x = 1;
        for (int i = 0; i < 255; ++i) {
            power[i] = x;
            logTable[x] = u8(i);
            x = gfMul(x, 3);
        }
        for (int v = 0; v < 256; ++v) {
            const u8 inv = v == 0 ? 0 : power[(255 - logTable[v]) % 255];
            u8 s = inv;
            u8 rotated = inv;
            for (int k = 0; k < 4; ++k) {
                rotated = u8((rotated << 1) | (rotated >> 7));
                s ^= rotated;
            }
            s ^= 0x63;
            sbox[v] = s;
            inverseSbox[s] = u8(v);
        }
        for (int v = 0; v < 256; ++v) {
            const u8 s = sbox[v];
            te[0][v] = (u32(gfMul(s, 2)) << 24) | (u32(s) << 16) | (u32(s) << 8) | gfMul(s, 3);
            const u8 i = inverseSbox[v];
            td[0][v] = (u32(gfMul(i, 14)) << 24) | (u32(gfMul(i, 9)) << 16)
                | (u32(gfMul(i, 13)) << 8) | gfMul(i, 11);
            for (int t = 1; t < 4; ++t) {
                te[t][v] = ror8(te[t - 1][v]);
                td[t][v] = ror8(td[t - 1][v]);
            }
        }
    }
};

const Tables &tables()
{
    static const Tables t;
    return t;
}

u32 load(const u8 *p)
{
    return (u32(p[0]) << 24) | (u32(p[1]) << 16) | (u32(p[2]) << 8) | u32(p[3]);
}

void store(u8 *p, u32 v)
{
    p[0] = u8(v >> 24);
    p[1] = u8(v >> 16);
    p[2] = u8(v >> 8);
    p[3] = u8(v);
}

u32 subWord(const Tables &t, u32 w)
{
    return (u32(t.sbox[w >> 24]) << 24) | (u32(t.sbox[(w >> 16) & 0xFF]) << 16)
        | (u32(t.sbox[(w >> 8) & 0xFF]) << 8) | t.sbox[w & 0xFF];
}

// One block through the table rounds. The forward and inverse ciphers differ
// only in their tables, their last S-box and the order the columns are
// taken from (shift left or right), given as the offsets of columns 1 to 3.
template <int C1, int C2, int C3>
inline void cryptBlock(const u32 (&tab)[4][256], const u8 *lastBox, const u32 *rk, int rounds,
                       const u8 *in, u8 *out)
{
    u32 s[4];
    for (int c = 0; c < 4; ++c)
        s[c] = load(in + 4 * c) ^ rk[c];
    u32 t[4];
    for (int r = 1; r < rounds; ++r) {
        rk += 4;
        for (int c = 0; c < 4; ++c) {
            t[c] = tab[0][s[c] >> 24] ^ tab[1][(s[(c + C1) & 3] >> 16) & 0xFF]
                ^ tab[2][(s[(c + C2) & 3] >> 8) & 0xFF] ^ tab[3][s[(c + C3) & 3] & 0xFF] ^ rk[c];
        }
        for (int c = 0; c < 4; ++c)
            s[c] = t[c];
    }
    rk += 4;
    for (int c = 0; c < 4; ++c) {
        const u32 v = (u32(lastBox[s[c] >> 24]) << 24)
            | (u32(lastBox[(s[(c + C1) & 3] >> 16) & 0xFF]) << 16)
            | (u32(lastBox[(s[(c + C2) & 3] >> 8) & 0xFF]) << 8)
            | u32(lastBox[s[(c + C3) & 3] & 0xFF]);
        store(out + 4 * c, v ^ rk[c]);
    }
}

} // namespace

SttAES &SttGlobalAES()
{
    return g_frameCipher;
}

SttAES::SttAES() = default;

SttAES::SttAES(const void *key, int length)
{
    if (key)
        SetKey(key, length);
}

SttAES::~SttAES() = default;

const int *SttAES::KeySizes() const
{
    static const int sizes[] = {32, 24, 16, 0};
    return sizes;
}

int SttAES::BlockSize() const
{
    return 16;
}

int SttAES::KeyLength() const
{
    return m_keyLength;
}

bool SttAES::SetKey(const void *key, int length)
{
    if (!key || (length != 16 && length != 24 && length != 32))
        return false;
    const Tables &t = tables();
    const int nk = length / 4;
    const int rounds = nk + 6;
    const int words = 4 * (rounds + 1);
    const auto *k = static_cast<const u8 *>(key);

    u32 ek[MaxRoundKeyWords];
    for (int i = 0; i < nk; ++i)
        ek[i] = load(k + 4 * i);
    u8 rcon = 1;
    for (int i = nk; i < words; ++i) {
        u32 temp = ek[i - 1];
        if (i % nk == 0) {
            temp = subWord(t, (temp << 8) | (temp >> 24)) ^ (u32(rcon) << 24);
            rcon = xtime(rcon);
        } else if (nk > 6 && i % nk == 4) {
            temp = subWord(t, temp);
        }
        ek[i] = ek[i - nk] ^ temp;
    }

    // The equivalent inverse cipher: round keys in reverse order, the inner
    // ones passed through InvMixColumns.
    u32 dk[MaxRoundKeyWords];
    for (int r = 0; r <= rounds; ++r) {
        for (int c = 0; c < 4; ++c) {
            u32 w = ek[4 * (rounds - r) + c];
            if (r > 0 && r < rounds) {
                w = t.td[0][t.sbox[w >> 24]] ^ t.td[1][t.sbox[(w >> 16) & 0xFF]]
                    ^ t.td[2][t.sbox[(w >> 8) & 0xFF]] ^ t.td[3][t.sbox[w & 0xFF]];
            }
            dk[4 * r + c] = w;
        }
    }

    std::memcpy(m_encryptKeys, ek, sizeof(u32) * std::size_t(words));
    std::memcpy(m_decryptKeys, dk, sizeof(u32) * std::size_t(words));
    m_rounds = rounds;
    m_keyLength = length;
    return true;
}

bool SttAES::Encrypt(void *destination, const void *source, unsigned length) const
{
    return Transform(true, destination, source, length);
}

bool SttAES::Decrypt(void *destination, const void *source, unsigned length) const
{
    return Transform(false, destination, source, length);
}

bool SttAES::Transform(bool encrypt, void *destination, const void *source, unsigned length) const
{
    if (length % 16 != 0)
        return false;
    if (length == 0)
        return true;
    if (m_keyLength == 0)
        return false;
    const Tables &t = tables();
    const auto *in = static_cast<const u8 *>(source);
    auto *out = static_cast<u8 *>(destination);
    if (encrypt) {
        for (unsigned off = 0; off < length; off += 16)
            cryptBlock<1, 2, 3>(t.te, t.sbox, m_encryptKeys, m_rounds, in + off, out + off);
    } else {
        for (unsigned off = 0; off < length; off += 16)
            cryptBlock<3, 2, 1>(t.td, t.inverseSbox, m_decryptKeys, m_rounds, in + off, out + off);
    }
    return true;
}
