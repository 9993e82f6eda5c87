#include "PictureFiles.h"

#include <QFile>
#include <QtEndian>

namespace mediatest {

namespace {

void put16(QByteArray &out, int v)
{
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

// Codes of 3 bits (minimum code size 2), packed from the lowest bit up.
class CodeWriter
{
public:
    void write(int code)
    {
        m_bits |= unsigned(code) << m_count;
        m_count += 3;
        while (m_count >= 8) {
            m_bytes.append(char(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_count > 0)
            m_bytes.append(char(m_bits & 0xff));
        return m_bytes;
    }

private:
    QByteArray m_bytes;
    unsigned m_bits = 0;
    int m_count = 0;
};

// LZW without compression: a clear code before every second pixel keeps
// the dictionary from ever growing the code width past 3 bits.
QByteArray solidPixels(int index, int count)
{
    const int clear = 4;
    const int end = 5;
    CodeWriter w;
    for (int i = 0; i < count; ++i) {
        if (i % 2 == 0)
            w.write(clear);
        w.write(index);
    }
    w.write(end);
    return w.finish();
}

quint32 crc32(const QByteArray &bytes)
{
    quint32 crc = 0xffffffffu;
    for (char c : bytes) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray pngChunk(const char *type, const QByteArray &data)
{
    char be[4];
    qToBigEndian<quint32>(quint32(data.size()), be);
    QByteArray out(be, 4);
    const QByteArray typed = QByteArray(type) + data;
    out.append(typed);
    qToBigEndian<quint32>(crc32(typed), be);
    out.append(be, 4);
    return out;
}

} // namespace

QByteArray solidGif(const QVector<GifFrame> &frames, int width, int height)
{
    QByteArray out("GIF89a");
    put16(out, width);
    put16(out, height);
    out.append(char(0x91)); // global table of 4 colours, 2 bits of colour resolution
    out.append(char(0));
    out.append(char(0));
    // The palette holds up to four frame colours, in frame order.
    QVector<QRgb> palette;
    for (const GifFrame &f : frames) {
        if (!palette.contains(f.color))
            palette << f.color;
    }
    Q_ASSERT(palette.size() <= 4);
    for (int i = 0; i < 4; ++i) {
        const QRgb c = i < palette.size() ? palette[i] : 0;
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append(QByteArray::fromHex("21ff0b"));
    out.append("NETSCAPE2.0");
    out.append(QByteArray::fromHex("0301000000")); // loop forever
    for (const GifFrame &f : frames) {
        out.append(QByteArray::fromHex("21f904"));
        out.append(char(0x04)); // dispose: keep
        put16(out, f.delayCs);
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2c));
        put16(out, 0);
        put16(out, 0);
        put16(out, width);
        put16(out, height);
        out.append(char(0));
        out.append(char(2)); // minimum code size
        const QByteArray data = solidPixels(palette.indexOf(f.color), width * height);
        for (int at = 0; at < data.size(); at += 255) {
            const QByteArray part = data.mid(at, 255);
            out.append(char(part.size()));
            out.append(part);
        }
        out.append(char(0));
    }
    out.append(char(0x3b));
    return out;
}

QByteArray pngClaiming(int width, int height)
{
    QByteArray header;
    char be[4];
    qToBigEndian<quint32>(quint32(width), be);
    header.append(be, 4);
    qToBigEndian<quint32>(quint32(height), be);
    header.append(be, 4);
    header.append(QByteArray::fromHex("0806000000")); // 8-bit RGBA, no interlace
    // qCompress puts a 4-byte length before the zlib stream.
    const QByteArray data = qCompress(QByteArray(64, '\0')).mid(4);
    return QByteArray::fromHex("89504e470d0a1a0a") + pngChunk("IHDR", header) + pngChunk("IDAT", data)
           + pngChunk("IEND", QByteArray());
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace mediatest
