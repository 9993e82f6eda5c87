#pragma once

// Picture files the tests write themselves: QImage cannot write GIF, and no
// writer makes a header that lies about its size.

#include <QByteArray>
#include <QRgb>
#include <QString>
#include <QVector>

namespace mediatest {

struct GifFrame
{
    QRgb color;
    int delayCs; // hundredths of a second, as GIF stores it
};

// A looping GIF of `width` x `height`, every frame one solid colour.
QByteArray solidGif(const QVector<GifFrame> &frames, int width = 4, int height = 4);
// A PNG whose header claims width x height, followed by a few bytes of
// image data and its end: small whatever it claims.
QByteArray pngClaiming(int width, int height);

bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace mediatest
