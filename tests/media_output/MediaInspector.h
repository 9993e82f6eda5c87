#pragma once

// Decodes a recording or a received stream with libavformat/libavcodec and
// sums up what a viewer would get: codecs, size, frame count, the first
// timestamps, one picture and the first channel of the sound.

#include <QImage>
#include <QString>

#include <vector>

namespace mediatest {

struct MediaSummary
{
    bool opened = false;
    QString videoCodec;
    QString audioCodec;
    int width = 0;
    int height = 0;
    int videoFrames = 0;
    double firstVideoS = -1;
    double firstAudioS = -1;
    double lastVideoS = -1;
    QImage picture;           // the decoded frame asked for, as RGB32
    std::vector<float> sound; // first channel, from the start
    int soundRate = 0;
};

// `pictureIndex`: which decoded video frame to keep (clamped to the last).
MediaSummary inspectMedia(const QString &path, int pictureIndex);

// Whether the picture shows the known scene: red inside the block, blue
// around it (tolerance for YUV 4:2:0 and compression).
bool showsScene(const QImage &picture, QString *why);

// Estimated frequency of the sound between `fromS` and `toS`, by counting
// rising zero crossings.
double toneFrequency(const std::vector<float> &sound, int rate, double fromS, double toS);

} // namespace mediatest
