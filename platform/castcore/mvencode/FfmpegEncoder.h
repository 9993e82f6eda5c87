#pragma once

// The encoder of the broadcast and the recording: one H.264 (libx264) and one AAC
// encoding of the composed canvas and the mixed sound, shared by the push
// (FLV over RTMP, on its own network thread, bounded queue) and the
// recording (fragmented MP4). Encoding runs only while live or recording.
// Neither onCanvas nor onAudio ever waits on the network or the disk, and
// no call waits on the disk for more than a moment.
//
// A session runs from the first canvas while live or recording until
// neither is on; SessionTimeline gives it its timestamps, picture and sound
// from one origin. At its end the encoders are drained (the sound brought
// to the end of the picture in whole frames, then flushed) into the
// recordings stopped with it, and opened anew for the next. A recording
// stopped while live is cut where its last picture ends and takes the sound
// up to there, which comes a little later. New video settings asked for
// while live or recording wait for the end of the session.
//
// Built into libmvencode.so; the program reaches it through EncodeLibraryClient.

#include "Encoder.h"

#include <memory>

namespace castcore {

class FfmpegEncoder : public Encoder
{
public:
    explicit FfmpegEncoder(EncodeEvents events);
    ~FfmpegEncoder() override; // ends the push and the recording cleanly

    void configure(int width, int height, int fps, int bitRate) override;
    void connect(const std::string &url) override;
    void setLive(bool live) override;
    bool startRecording(const std::string &path) override;
    void stopRecording() override;
    bool recording() const override;
    bool active() const override;
    SendLatency sendLatency() const override;

    void onCanvas(const QImage &canvas, int64_t ptsUs) override;
    void onAudio(const int16_t *samples, int frames, int64_t ptsUs) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace castcore
