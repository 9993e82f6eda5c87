#pragma once

// The broadcast and recording road: one H.264 (libx264) and one AAC
// encoding of the composed canvas and the mixed sound, shared by the push
// (FLV over RTMP, on its own network thread, bounded queue) and the
// recording (fragmented MP4). Encoding runs only while live or recording.
// Neither onCanvas nor onAudio ever waits on the network or the disk.
// Built into libmvencode.so; the program reaches it through EncodePipeline.

#include "EncodeRoad.h"

#include <memory>

namespace castcore {

class AvEncodePipeline : public EncodeRoad
{
public:
    explicit AvEncodePipeline(EncodeEvents events);
    ~AvEncodePipeline() override; // ends the push and the recording cleanly

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
