#pragma once

// Decodes a recording or a received stream with libavformat/libavcodec and
// sums up what a viewer would get: codecs, size, frame count, the first and
// last timestamps, each picture's time and brightness, one picture and the
// first channel of the sound.

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
    double lastVideoEndS = -1; // the last picture's time plus its duration
    double lastAudioEndS = -1; // the end of the last decoded sound
    std::vector<double> videoTimesS; // each decoded picture's time
    std::vector<int> videoLuma;      // and its mean brightness, 0-255 (-1: not YUV)
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

// The time of the first picture at or after `fromS` whose mean brightness is
// at least `minLuma`; -1 when there is none.
double firstBrightPictureS(const MediaSummary &media, double fromS, int minLuma);

// The time of the first sample at or after `fromS` whose magnitude is at
// least `level` (the sound taken as one run from firstAudioS); -1 when none.
double soundOnsetS(const MediaSummary &media, double fromS, float level);

// Four quarters of mid tones (top left, top right, bottom left, bottom
// right), whose colours move visibly under a wrong matrix, range or channel
// order; the colour of the quarter that (x, y) lies in.
inline const QColor kQuarters[4] = {QColor(200, 120, 60), QColor(60, 90, 160), QColor(30, 160, 80),
                                    QColor(170, 170, 170)};
inline QColor quarterAt(int x, int y, int width, int height)
{
    return kQuarters[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
}

// Whether every fourth pixel of `area` lies within `tolerance` of `colour`
// in each of red, green and blue; `why` names the first that does not.
bool areaHasColour(const QImage &picture, const QRect &area, const QColor &colour, int tolerance, QString *why);

} // namespace testsupport
