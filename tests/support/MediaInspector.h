#pragma once

// Decodes a recording or a received stream with libavformat/libavcodec and
// sums up what a viewer would get: codecs, size, frame count, the first
// timestamps, one picture and the first channel of the sound.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <vector>

namespace testsupport {

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

// Estimated frequency of the sound between `fromS` and `toS`, by counting
// rising zero crossings.
double toneFrequency(const std::vector<float> &sound, int rate, double fromS, double toS);

// Largest absolute sample between `fromS` and `toS` (0 for an empty span).
float soundPeak(const std::vector<float> &sound, int rate, double fromS, double toS);

// Whether every fourth pixel of `area` lies within `tolerance` of `colour`
// in each of red, green and blue; `why` names the first that does not.
bool areaHasColour(const QImage &picture, const QRect &area, const QColor &colour, int tolerance, QString *why);

} // namespace testsupport
