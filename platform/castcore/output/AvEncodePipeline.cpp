#include "AvEncodePipeline.h"

#include "AudioEncoder.h"
#include "EncodedStream.h"
#include "PushOutput.h"
#include "RecordOutput.h"
#include "ThreadSignalStack.h"
#include "VideoEncoder.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/log.h>
}

#include <QtGlobal>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace castcore {

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr int kCanvasQueue = 3;
constexpr int kSoundChunk = 1024;      // AAC frame
constexpr int kSoundChunksPerPass = 8;
constexpr int kSoundBufferFrames = kAudioRate * 4;
constexpr int kSoundJitterFrames = kAudioRate / 50; // 20 ms
// With no sound arriving, silence is laid down this far behind the picture,
// so a late device is not overwritten by it.
constexpr int64_t kSilenceLagUs = 500000;
// How long the end of the program waits for recordings still being written.
constexpr std::chrono::milliseconds kExitWait{2000};
constexpr std::chrono::milliseconds kStopWait{30};

int64_t framesAt(int64_t us)
{
    return av_rescale(us, kAudioRate, 1000000);
}

std::string shortened(const std::string &text)
{
    return text.size() > 200 ? text.substr(0, 200) + "..." : text;
}

} // namespace

struct AvEncodePipeline::Private
{
    explicit Private(EncodeEvents e) : events(std::move(e)) {}

    StreamParamsPtr ensureEncoders(); // under codecMutex
    void finishRecording(std::shared_ptr<RecordOutput> recorder);
    bool recordingOn() const;
    void endSession();
    void placeSound(const int16_t *samples, int frames, int64_t pos); // under inputMutex
    void writeSilence(int64_t frames);                                  // under inputMutex
    void run();
    void encodeSound(int chunks);
    void encodeCanvas(const QImage &canvas, int64_t relUs, int64_t originUs);
    void deliver(AVPacket *packet, bool video);

    EncodeEvents events;

    // Settings and encoders; the encoder thread holds the lock per frame.
    std::mutex codecMutex;
    int width = 1280;
    int height = 720;
    int fps = 25;
    int bitRate = 2500000;
    bool reopen = true;
    VideoEncoder video;
    AudioEncoder audio;
    std::shared_ptr<StreamParams> params;
    int generation = 0;

    std::atomic<bool> live{false};
    std::atomic<bool> wantKeyframe{false};
    std::atomic<bool> sessionOn{false};

    std::unique_ptr<PushOutput> push;
    std::shared_ptr<RecordingReport> report;
    mutable std::mutex recordMutex;
    std::shared_ptr<RecordOutput> record;
    // Stopped recordings whose writers may still be finishing their files.
    std::vector<std::shared_ptr<RecordOutput>> finishing;

    // What the video and mixer threads hand over.
    std::mutex inputMutex;
    std::condition_variable inputWake;
    struct Canvas
    {
        QImage image;
        int64_t relUs = 0;
        int64_t originUs = 0;
    };
    std::array<Canvas, kCanvasQueue> canvases;
    int canvasHead = 0;
    int canvasCount = 0;
    AVAudioFifo *sound = nullptr;
    int64_t soundPos = 0; // sample frames laid down since the session began
    int64_t startUs = 0;
    uint64_t session = 0;
    bool stop = false;
    std::vector<int16_t> silence;

    // Encoder thread only.
    uint64_t seenSession = 0;
    int seenGeneration = -1;
    int64_t videoBase = 0;
    int64_t lastVideoPts = -1;
    int64_t lastSlot = -1;
    int64_t soundBase = 0;
    int64_t soundConsumed = 0;
    int64_t nextSoundPts = 0;
    std::vector<int16_t> soundChunks;
    // Each recent picture's canvas time by its pts, for its packet.
    std::array<std::pair<int64_t, int64_t>, 16> origins{};
    VideoEncoder::PacketSink videoSink;
    AudioEncoder::PacketSink audioSink;
    std::thread thread;
};

StreamParamsPtr AvEncodePipeline::Private::ensureEncoders()
{
    if (!reopen && params)
        return params;
    reopen = false;
    std::string error;
    if (!audio.isOpen() && !audio.open(&error)) {
        qWarning("engine: cannot open the AAC encoder: %s", error.c_str());
        params.reset();
        return nullptr;
    }
    if (!video.open(width, height, fps, bitRate, &error)) {
        qWarning("engine: cannot open the H.264 encoder at %dx%d %d fps %d bit/s: %s", width, height, fps,
                 bitRate, error.c_str());
        params.reset();
        return nullptr;
    }
    auto fresh = std::make_shared<StreamParams>();
    fresh->video = avcodec_parameters_alloc();
    fresh->audio = avcodec_parameters_alloc();
    if (!fresh->video || !fresh->audio || !video.parameters(fresh->video) || !audio.parameters(fresh->audio)) {
        params.reset();
        return nullptr;
    }
    fresh->videoTimeBase = AVRational{1, fps};
    fresh->frameRate = AVRational{fps, 1};
    fresh->audioTimeBase = AVRational{1, kAudioRate};
    fresh->bitRate = bitRate + AudioEncoder::kBitRate;
    fresh->generation = ++generation;
    params = fresh;
    qInfo("engine: encoders ready: H.264 %dx%d %d fps %d bit/s, AAC 48 kHz stereo", fresh->video->width,
          fresh->video->height, fps, bitRate);
    return params;
}

void AvEncodePipeline::Private::finishRecording(std::shared_ptr<RecordOutput> recorder)
{
    recorder->finish();
    std::lock_guard<std::mutex> lock(recordMutex);
    const auto done = [](const std::shared_ptr<RecordOutput> &r) { return r->waitDone(std::chrono::milliseconds(0)); };
    finishing.erase(std::remove_if(finishing.begin(), finishing.end(), done), finishing.end());
    finishing.push_back(std::move(recorder));
}

bool AvEncodePipeline::Private::recordingOn() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return record && !record->ended();
}

void AvEncodePipeline::Private::endSession()
{
    std::lock_guard<std::mutex> lock(inputMutex);
    sessionOn.store(false);
    for (Canvas &canvas : canvases)
        canvas.image = QImage();
    canvasHead = canvasCount = 0;
    av_audio_fifo_reset(sound);
    soundPos = 0;
}

void AvEncodePipeline::Private::writeSilence(int64_t frames)
{
    const int block = int(silence.size() / kAudioChannels);
    while (frames > 0 && av_audio_fifo_space(sound) > 0) {
        const int n = int(std::min<int64_t>({frames, block, av_audio_fifo_space(sound)}));
        void *data[1] = {silence.data()};
        av_audio_fifo_write(sound, data, n);
        soundPos += n;
        frames -= n;
    }
}

void AvEncodePipeline::Private::placeSound(const int16_t *samples, int frames, int64_t pos)
{
    if (pos > soundPos + kSoundJitterFrames) {
        writeSilence(pos - soundPos); // a gap: the device paused
    } else if (pos < soundPos - kSoundJitterFrames) {
        const int64_t overlap = soundPos - pos; // already covered (by silence)
        if (overlap >= frames)
            return;
        samples += overlap * kAudioChannels;
        frames -= int(overlap);
    }
    // A stalled encoder loses the newest sound rather than growing the buffer.
    const int n = std::min(frames, av_audio_fifo_space(sound));
    if (n <= 0)
        return;
    void *data[1] = {const_cast<int16_t *>(samples)};
    av_audio_fifo_write(sound, data, n);
    soundPos += n;
}

void AvEncodePipeline::Private::run()
{
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    std::unique_lock<std::mutex> lock(inputMutex);
    for (;;) {
        inputWake.wait_for(lock, std::chrono::milliseconds(100), [this] {
            return stop || canvasCount > 0 || av_audio_fifo_size(sound) >= kSoundChunk;
        });
        if (stop)
            break;
        if (!sessionOn.load())
            continue;
        if (session != seenSession) {
            // A new session continues the timestamps of the last one.
            seenSession = session;
            videoBase = lastVideoPts + 1;
            lastSlot = -1;
            soundBase = nextSoundPts;
            soundConsumed = 0;
        }
        Canvas canvas;
        if (canvasCount > 0) {
            canvas = std::move(canvases[canvasHead]);
            canvases[canvasHead].image = QImage();
            canvasHead = (canvasHead + 1) % kCanvasQueue;
            --canvasCount;
            const int64_t due = framesAt(canvas.relUs - kSilenceLagUs);
            if (soundPos < due)
                writeSilence(due - soundPos);
        }
        const int chunks = std::min(av_audio_fifo_size(sound) / kSoundChunk, kSoundChunksPerPass);
        if (chunks > 0) {
            void *data[1] = {soundChunks.data()};
            av_audio_fifo_read(sound, data, chunks * kSoundChunk);
        }
        lock.unlock();
        encodeSound(chunks);
        if (!canvas.image.isNull())
            encodeCanvas(canvas.image, canvas.relUs, canvas.originUs);
        canvas.image = QImage(); // the compositor may reuse its buffer now
        lock.lock();
    }
}

void AvEncodePipeline::Private::encodeSound(int chunks)
{
    if (chunks <= 0)
        return;
    std::lock_guard<std::mutex> lock(codecMutex);
    if (!ensureEncoders())
        return;
    for (int i = 0; i < chunks; ++i) {
        const int64_t pts = soundBase + soundConsumed;
        soundConsumed += kSoundChunk;
        nextSoundPts = pts + kSoundChunk;
        audio.encode(soundChunks.data() + size_t(i) * kSoundChunk * kAudioChannels, pts, audioSink);
    }
}

void AvEncodePipeline::Private::encodeCanvas(const QImage &canvas, int64_t relUs, int64_t originUs)
{
    std::lock_guard<std::mutex> lock(codecMutex);
    const StreamParamsPtr current = ensureEncoders();
    if (!current)
        return;
    const int64_t slot = av_rescale(relUs, fps, 1000000);
    if (current->generation != seenGeneration) {
        // A new encoder: its timestamps start again from zero.
        if (seenGeneration >= 0)
            videoBase = -slot;
        seenGeneration = current->generation;
        lastVideoPts = -1;
        lastSlot = -1;
    }
    if (slot <= lastSlot)
        return; // a second canvas within one frame interval
    lastSlot = slot;
    const int64_t pts = std::max(videoBase + slot, lastVideoPts + 1);
    lastVideoPts = pts;
    origins[size_t(pts % int64_t(origins.size()))] = {pts, originUs};
    video.encode(canvas, pts, wantKeyframe.exchange(false), videoSink);
}

void AvEncodePipeline::Private::deliver(AVPacket *packet, bool isVideo)
{
    EncodedPacket encoded;
    encoded.packet.reset(av_packet_alloc());
    if (!encoded.packet)
        return;
    av_packet_move_ref(encoded.packet.get(), packet);
    encoded.video = isVideo;
    encoded.generation = generation;
    encoded.ptsUs = av_rescale_q(encoded.packet->pts, isVideo ? AVRational{1, fps} : AVRational{1, kAudioRate},
                                 kMicroseconds);
    if (isVideo) {
        const auto &origin = origins[size_t(encoded.packet->pts % int64_t(origins.size()))];
        if (origin.first == encoded.packet->pts)
            encoded.originUs = origin.second;
    }
    push->submit(encoded);
    std::shared_ptr<RecordOutput> recorder;
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        recorder = record;
    }
    if (recorder)
        recorder->submit(encoded, params);
}

AvEncodePipeline::AvEncodePipeline(EncodeEvents events) : d(new Private(std::move(events)))
{
    d->report = std::make_shared<RecordingReport>(d->events.recordingEnded);
    // x264's and the AAC encoder's chatter stays out of the program's output,
    // unless someone chose a level on purpose.
    if (av_log_get_level() == AV_LOG_INFO)
        av_log_set_level(AV_LOG_ERROR);
    d->sound = av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, kAudioChannels, kSoundBufferFrames);
    d->silence.assign(size_t(kAudioRate / 10) * kAudioChannels, 0);
    d->soundChunks.assign(size_t(kSoundChunk) * kSoundChunksPerPass * kAudioChannels, 0);
    d->videoSink = [this](AVPacket *packet) { d->deliver(packet, true); };
    d->audioSink = [this](AVPacket *packet) { d->deliver(packet, false); };
    d->push.reset(new PushOutput(
        d->events,
        [this] {
            std::lock_guard<std::mutex> lock(d->codecMutex);
            return d->ensureEncoders();
        },
        [this] { d->wantKeyframe.store(true); }));
    d->thread = std::thread([this] { d->run(); });
}

AvEncodePipeline::~AvEncodePipeline()
{
    // Whatever ends from here on, the owner ended it.
    d->report->close();
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        d->stop = true;
    }
    d->inputWake.notify_all();
    d->thread.join();
    stopRecording();
    d->push.reset();
    // Files being finished get a moment to take their ends; a disk that does
    // not answer keeps its writer, which owns what it uses.
    const auto giveUpAt = std::chrono::steady_clock::now() + kExitWait;
    std::lock_guard<std::mutex> lock(d->recordMutex);
    for (const auto &recorder : d->finishing) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUpAt - std::chrono::steady_clock::now());
        if (!recorder->waitDone(std::max(left, std::chrono::milliseconds(0))))
            qWarning("engine: recording %s still being finished at exit", recorder->path().c_str());
    }
    av_audio_fifo_free(d->sound);
}

void AvEncodePipeline::configure(int width, int height, int fps, int bitRate)
{
    if (width < 16 || height < 16 || width > 8192 || height > 8192 || fps < 1 || fps > 120 || bitRate < 10000) {
        qWarning("engine: video settings %dx%d %d fps %d bit/s refused", width, height, fps, bitRate);
        return;
    }
    std::lock_guard<std::mutex> lock(d->codecMutex);
    if (width == d->width && height == d->height && fps == d->fps && bitRate == d->bitRate && (d->params || d->reopen))
        return;
    d->width = width;
    d->height = height;
    d->fps = fps;
    d->bitRate = bitRate;
    d->reopen = true;
    // Encoders hold tens of megabytes: an idle program opens them only when
    // a push or a recording first needs them.
    if (d->live.load() || d->recordingOn())
        d->ensureEncoders();
}

void AvEncodePipeline::connect(const std::string &url)
{
    std::string why;
    if (!PushOutput::acceptableUrl(url, &why)) {
        qWarning("engine: push address refused (%s): %s", why.c_str(), shortened(url).c_str());
        if (d->events.pushState)
            d->events.pushState(url, false);
        return;
    }
    d->push->connect(url);
}

void AvEncodePipeline::setLive(bool live)
{
    d->live.store(live);
    d->push->setLive(live);
    if (live)
        d->wantKeyframe.store(true);
    else if (!d->recordingOn())
        d->endSession();
}

bool AvEncodePipeline::startRecording(const std::string &path)
{
    {
        std::lock_guard<std::mutex> lock(d->recordMutex);
        if (d->record && !d->record->ended() && (path == d->record->requestedPath() || path == d->record->path())) {
            // Asked again (a line fallback): one continuous file.
            qInfo("engine: recording %s goes on", d->record->path().c_str());
            return true;
        }
    }
    StreamParamsPtr params;
    {
        std::lock_guard<std::mutex> lock(d->codecMutex);
        params = d->ensureEncoders();
    }
    std::string error;
    auto recorder = RecordOutput::start(path, params, d->report, &error);
    if (!recorder) {
        qWarning("engine: cannot record to \"%s\": %s", shortened(path).c_str(), error.c_str());
        return false;
    }
    std::shared_ptr<RecordOutput> previous;
    {
        std::lock_guard<std::mutex> lock(d->recordMutex);
        previous = std::move(d->record);
        d->record = recorder;
    }
    if (previous)
        d->finishRecording(std::move(previous));
    d->wantKeyframe.store(true);
    return true;
}

void AvEncodePipeline::stopRecording()
{
    std::shared_ptr<RecordOutput> recorder;
    {
        std::lock_guard<std::mutex> lock(d->recordMutex);
        recorder = std::move(d->record);
    }
    if (recorder) {
        d->finishRecording(recorder);
        // A healthy disk takes the end at once: the caller then finds the
        // file whole. A stalled one is not waited for.
        recorder->waitDone(kStopWait);
    }
    if (!d->live.load())
        d->endSession();
}

bool AvEncodePipeline::recording() const
{
    return d->recordingOn();
}

bool AvEncodePipeline::active() const
{
    return d->live.load() || d->recordingOn();
}

SendLatency AvEncodePipeline::sendLatency() const
{
    return d->push->latency();
}

void AvEncodePipeline::onCanvas(const QImage &canvas, int64_t ptsUs)
{
    if (!active()) {
        if (d->sessionOn.load())
            d->endSession();
        return;
    }
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        if (!d->sessionOn.load()) {
            d->sessionOn.store(true);
            d->startUs = ptsUs;
            ++d->session;
        }
        const int64_t relUs = ptsUs - d->startUs;
        if (relUs < 0 || canvas.isNull())
            return;
        if (d->canvasCount == kCanvasQueue) {
            // The encoder is behind: the oldest canvas leaves.
            d->canvases[d->canvasHead].image = QImage();
            d->canvasHead = (d->canvasHead + 1) % kCanvasQueue;
            --d->canvasCount;
            dropped = true;
        }
        Private::Canvas &slot = d->canvases[(d->canvasHead + d->canvasCount) % kCanvasQueue];
        slot.image = canvas;
        slot.relUs = relUs;
        slot.originUs = ptsUs;
        ++d->canvasCount;
    }
    d->inputWake.notify_one();
    if (dropped)
        d->push->countEncoderDrop();
}

void AvEncodePipeline::onAudio(const int16_t *samples, int frames, int64_t ptsUs)
{
    if (!samples || frames <= 0)
        return;
    if (!active()) {
        if (d->sessionOn.load())
            d->endSession();
        return;
    }
    bool ready = false;
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        if (!d->sessionOn.load()) {
            d->sessionOn.store(true);
            d->startUs = ptsUs;
            ++d->session;
        }
        d->placeSound(samples, frames, framesAt(ptsUs - d->startUs));
        ready = av_audio_fifo_size(d->sound) >= kSoundChunk;
    }
    if (ready)
        d->inputWake.notify_one();
}

} // namespace castcore

castcore::EncodeRoad *mvencode_create_road(const castcore::EncodeEvents *events)
{
    return new castcore::AvEncodePipeline(events ? *events : castcore::EncodeEvents{});
}
