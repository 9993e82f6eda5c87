#include "FfmpegEncoder.h"

#include "AudioEncoder.h"
#include "EncodedStream.h"
#include "PushAddress.h"
#include "PushOutput.h"
#include "RecordOutput.h"
#include "SessionTimeline.h"
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
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include <pthread.h>

namespace castcore {

namespace {

constexpr AVRational kMicroseconds{1, 1000000};
constexpr int kCanvasQueue = 3;
constexpr int kSoundChunk = 1024; // AAC frame
constexpr int kSoundChunksPerPass = 8;
constexpr int kSoundBufferFrames = kAudioRate * 4;
// How long the end of the program waits for recordings still being written.
constexpr std::chrono::milliseconds kExitWait{2000};
// A stop gives a healthy disk the moment it needs to take the end, so that
// the file is whole on return, but not a write that has hung this long, and
// never more than kStopLimit. Stopped while live, the recording still waits
// for its last sound: it is not waited for beyond kStopWait.
constexpr std::chrono::milliseconds kStopWait{20};
constexpr std::chrono::milliseconds kStopLimit{1000};
// A recording stopped while live waits for the sound of its last pictures
// (which comes late from the mixer) until the picture is this far past (and
// twice that on the clock, when pictures stop coming).
constexpr int64_t kCutSoundWaitUs = 1000000;

std::string shortened(const std::string &text)
{
    return text.size() > 200 ? text.substr(0, 200) + "..." : text;
}

bool sameParameters(const AVCodecParameters *a, const AVCodecParameters *b)
{
    return a->codec_id == b->codec_id && a->width == b->width && a->height == b->height
           && a->sample_rate == b->sample_rate && a->extradata_size == b->extradata_size
           && (a->extradata_size == 0 || std::memcmp(a->extradata, b->extradata, size_t(a->extradata_size)) == 0);
}

} // namespace

struct FfmpegEncoder::Private
{
    explicit Private(EncodeEvents e) : events(std::move(e)) {}

    struct Settings
    {
        int width = 1280;
        int height = 720;
        int fps = 25;
        int bitRate = 2500000;
        bool operator==(const Settings &o) const
        {
            return width == o.width && height == o.height && fps == o.fps && bitRate == o.bitRate;
        }
    };

    // A stopped recording that still takes the packets of what came before
    // its stop: everything until its cut is known, then what lies before it.
    // Without a recorder it is the broadcast, ended while a recording goes
    // on: its stream ends at the same cut, its sound with its picture.
    struct Closing
    {
        std::shared_ptr<RecordOutput> recorder;
        uint64_t canvasSeq = 0; // the last canvas handed in before the stop
        bool settled = false;
        int64_t settledAtUs = 0; // on the engine clock
        int64_t cutUs = 0;
        bool picturePast = false;
        bool soundPast = false;
        uint64_t liveEpoch = 0; // the broadcast's: a new one outlives this end
    };

    StreamParamsPtr ensureEncoders();                      // under codecMutex
    void applyPending();                                   // under codecMutex
    void handOver(std::shared_ptr<RecordOutput> recorder); // under recordMutex
    void takeRequests();                                   // under recordMutex
    void requestEnd();                                     // under inputMutex
    void writeSilence(int64_t frames);                     // under inputMutex
    void wakeEncoder();
    bool recordingOn() const;
    void endSessionSoon();
    void run();
    void settleCuts(uint64_t nextSeq, int64_t cutUs);
    void drain();
    void encodeSound(int chunks, int64_t pts);
    void encodeCanvas(const QImage &canvas, int64_t pts, int64_t originUs);
    void deliver(AVPacket *packet, bool video);
    void reviewClosing();
    void finishClosing();
    void close(const Closing &c);

    EncodeEvents events;

    // Settings and encoders; the encoder thread holds the lock per frame.
    std::mutex codecMutex;
    Settings settings;
    std::optional<Settings> pending; // asked for while busy
    bool reopen = true;
    bool dirty = false; // the encoders hold a session that is not drained yet
    VideoEncoder video;
    AudioEncoder audio;
    std::shared_ptr<StreamParams> params;
    int generation = 0;
    std::atomic<int> sessionFps{25};

    std::atomic<bool> live{false};
    std::atomic<bool> wantKeyframe{false};
    std::atomic<bool> sessionOn{false};

    std::unique_ptr<PushOutput> push;
    std::shared_ptr<RecordingReport> report;
    mutable std::mutex recordMutex;
    std::shared_ptr<RecordOutput> record;
    // Recordings just stopped, on their way to the encoder thread: a packet
    // goes either to `record` or, once it left, to them.
    std::vector<Closing> closingRequests;
    std::atomic<uint64_t> liveEpoch{0};   // a new one at every setLive(true)
    std::atomic<uint64_t> pushEndEpoch{0}; // the broadcast last ended at a cut
    std::atomic<bool> requestsPending{false};
    // Stopped recordings whose writers may still be finishing their files.
    std::vector<std::shared_ptr<RecordOutput>> finishing;

    // What the video and mixer threads and the owner hand over.
    std::mutex inputMutex;
    std::condition_variable inputWake;
    struct Canvas
    {
        QImage image;
        int64_t clockUs = 0;
        uint64_t seq = 0;
    };
    std::array<Canvas, kCanvasQueue> canvases;
    int canvasHead = 0;
    int canvasCount = 0;
    std::atomic<uint64_t> canvasSeq{0}; // the last canvas handed in
    AVAudioFifo *sound = nullptr;
    SessionTimeline timeline;
    bool endPending = false; // the session ended; its drain is due
    bool pushEndAfterDrain = false; // the broadcast ends with the drain
    bool stop = false;
    std::vector<int16_t> silence;

    // Encoder thread only.
    std::vector<Closing> closing;
    bool draining = false;
    bool drainToPush = false;
    int64_t lastPictureUs = INT64_MIN;
    std::vector<int16_t> soundChunks;
    std::vector<int16_t> tail;
    // Each recent picture's canvas time by its pts, for its packet.
    std::array<std::pair<int64_t, int64_t>, 16> origins{};
    VideoEncoder::PacketSink videoSink;
    AudioEncoder::PacketSink audioSink;
    std::thread thread;
};

StreamParamsPtr FfmpegEncoder::Private::ensureEncoders()
{
    if (!reopen && params && video.isOpen() && audio.isOpen())
        return params;
    if (reopen) {
        video.close();
        audio.close();
        reopen = false;
    }
    std::string error;
    if (!audio.isOpen() && !audio.open(&error)) {
        qWarning("engine: cannot open the AAC encoder: %s", error.c_str());
        params.reset();
        return nullptr;
    }
    const Settings &s = settings;
    if (!video.isOpen() && !video.open(s.width, s.height, s.fps, s.bitRate, &error)) {
        qWarning("engine: cannot open the H.264 encoder at %dx%d %d fps %d bit/s: %s", s.width, s.height, s.fps,
                 s.bitRate, error.c_str());
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
    fresh->videoTimeBase = AVRational{1, s.fps};
    fresh->frameRate = AVRational{s.fps, 1};
    fresh->audioTimeBase = AVRational{1, kAudioRate};
    fresh->bitRate = s.bitRate + AudioEncoder::kBitRate;
    // Encoders opened again at the same settings make the same streams: the
    // outputs go on with them.
    if (params && params->bitRate == fresh->bitRate && av_cmp_q(params->frameRate, fresh->frameRate) == 0
        && sameParameters(params->video, fresh->video) && sameParameters(params->audio, fresh->audio))
        return params;
    fresh->generation = ++generation;
    params = fresh;
    qInfo("engine: encoders ready: H.264 %dx%d %d fps %d bit/s, AAC 48 kHz stereo", fresh->video->width,
          fresh->video->height, s.fps, s.bitRate);
    return params;
}

void FfmpegEncoder::Private::applyPending()
{
    if (!pending)
        return;
    if (!(*pending == settings)) {
        settings = *pending;
        reopen = true;
        sessionFps.store(settings.fps);
        qInfo("engine: video settings %dx%d %d fps %d bit/s taken up", settings.width, settings.height,
              settings.fps, settings.bitRate);
    }
    pending.reset();
}

void FfmpegEncoder::Private::handOver(std::shared_ptr<RecordOutput> recorder)
{
    const auto done = [](const std::shared_ptr<RecordOutput> &r) { return r->waitDone(std::chrono::milliseconds(0)); };
    finishing.erase(std::remove_if(finishing.begin(), finishing.end(), done), finishing.end());
    finishing.push_back(recorder);
    closingRequests.push_back({std::move(recorder), canvasSeq.load()});
    requestsPending.store(true);
}

void FfmpegEncoder::Private::wakeEncoder()
{
    {
        std::lock_guard<std::mutex> lock(inputMutex); // not between its look and its wait
    }
    inputWake.notify_all();
}

bool FfmpegEncoder::Private::recordingOn() const
{
    std::lock_guard<std::mutex> lock(recordMutex);
    return record && !record->ended();
}

void FfmpegEncoder::Private::requestEnd()
{
    if (!timeline.running() || endPending)
        return;
    endPending = true;
    sessionOn.store(false);
}

void FfmpegEncoder::Private::endSessionSoon()
{
    {
        std::lock_guard<std::mutex> lock(inputMutex);
        requestEnd();
    }
    inputWake.notify_all();
}

void FfmpegEncoder::Private::writeSilence(int64_t frames)
{
    const int block = int(silence.size() / kAudioChannels);
    while (frames > 0 && av_audio_fifo_space(sound) > 0) {
        const int n = int(std::min<int64_t>({frames, block, av_audio_fifo_space(sound)}));
        void *data[1] = {silence.data()};
        av_audio_fifo_write(sound, data, n);
        timeline.laid(n);
        frames -= n;
    }
}

void FfmpegEncoder::Private::takeRequests()
{
    for (Closing &c : closingRequests)
        closing.push_back(std::move(c));
    closingRequests.clear();
    requestsPending.store(false);
}

void FfmpegEncoder::Private::settleCuts(uint64_t nextSeq, int64_t cutUs)
{
    // A recording stopped after canvas n ends with the picture of canvas n:
    // once every canvas up to it was encoded or left out, its end is known.
    for (Closing &c : closing) {
        if (!c.settled && c.canvasSeq < nextSeq) {
            c.settled = true;
            c.settledAtUs = mediaNowUs();
            c.cutUs = cutUs;
        }
    }
}

void FfmpegEncoder::Private::run()
{
    pthread_setname_np(pthread_self(), "mvencode-encode");
    const mvplatform::ThreadSignalStack signalStack; // a crash here still writes its dump
    for (;;) {
        Canvas canvas;
        int64_t picturePts = -1;
        int chunks = 0;
        int64_t soundPts = 0;
        uint64_t nextSeq = 0;
        int64_t cutUs = 0;
        bool drainNow = false;
        bool running = false;
        {
            std::unique_lock<std::mutex> lock(inputMutex);
            inputWake.wait_for(lock, std::chrono::milliseconds(100), [this] {
                return stop || endPending || canvasCount > 0 || requestsPending.load()
                       || av_audio_fifo_size(sound) >= kSoundChunk;
            });
            if (stop && !endPending)
                break;
            // Where the canvases handed in so far end, before the next one.
            nextSeq = canvasCount > 0 ? canvases[size_t(canvasHead)].seq : canvasSeq.load() + 1;
            cutUs = timeline.videoEndUs();
            drainNow = endPending && canvasCount == 0;
            running = timeline.running();
            if (running && !drainNow) {
                if (canvasCount > 0) {
                    canvas = std::move(canvases[size_t(canvasHead)]);
                    canvases[size_t(canvasHead)].image = QImage();
                    canvasHead = (canvasHead + 1) % kCanvasQueue;
                    --canvasCount;
                    picturePts = timeline.videoPts(canvas.clockUs);
                    writeSilence(timeline.silenceDue(canvas.clockUs));
                }
                chunks = std::min(av_audio_fifo_size(sound) / kSoundChunk, kSoundChunksPerPass);
                if (chunks > 0) {
                    void *data[1] = {soundChunks.data()};
                    av_audio_fifo_read(sound, data, chunks * kSoundChunk);
                    soundPts = timeline.takeSound(int64_t(chunks) * kSoundChunk);
                }
            }
        }
        {
            std::lock_guard<std::mutex> lock(recordMutex);
            takeRequests();
        }
        if (drainNow) {
            drain();
            continue;
        }
        if (!running) {
            finishClosing(); // no session: nothing more comes for them
            continue;
        }
        settleCuts(nextSeq, cutUs);
        encodeSound(chunks, soundPts);
        if (picturePts >= 0)
            encodeCanvas(canvas.image, picturePts, canvas.clockUs);
        canvas.image = QImage(); // the compositor may reuse its buffer now
        reviewClosing();
    }
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        takeRequests();
    }
    finishClosing();
}

void FfmpegEncoder::Private::drain()
{
    int64_t frames = 0;
    int64_t tailPts = 0;
    int64_t cutUs = 0;
    {
        std::lock_guard<std::mutex> lock(inputMutex);
        cutUs = timeline.videoEndUs();
        // The sound up to the end of the picture, in whole frames.
        const SessionTimeline::SoundEnding ending = timeline.closeSound(av_audio_fifo_size(sound), kSoundChunk);
        frames = ending.take + ending.silence;
        tail.assign(size_t(frames) * kAudioChannels, 0);
        if (ending.take > 0) {
            void *data[1] = {tail.data()};
            av_audio_fifo_read(sound, data, int(ending.take));
        }
        av_audio_fifo_reset(sound);
        tailPts = timeline.takeSound(frames);
        timeline.end();
        drainToPush = pushEndAfterDrain;
    }
    settleCuts(UINT64_MAX, cutUs);

    draining = true;
    {
        std::lock_guard<std::mutex> codec(codecMutex);
        if (dirty) {
            for (int64_t i = 0; i * kSoundChunk < frames; ++i)
                audio.encode(tail.data() + size_t(i) * kSoundChunk * kAudioChannels, tailPts + i * kSoundChunk,
                             audioSink);
            // What the encoders still hold, as FFmpeg's muxing example does
            // before the trailer. They take nothing after it.
            audio.flush(audioSink);
            video.flush(videoSink);
            audio.close();
            video.close();
            dirty = false;
        }
        applyPending();
    }
    draining = false;
    drainToPush = false;
    finishClosing();

    std::lock_guard<std::mutex> lock(inputMutex);
    endPending = false;
    if (pushEndAfterDrain) {
        pushEndAfterDrain = false;
        push->setLive(false);
    }
}

void FfmpegEncoder::Private::encodeSound(int chunks, int64_t pts)
{
    if (chunks <= 0)
        return;
    std::lock_guard<std::mutex> lock(codecMutex);
    if (!ensureEncoders())
        return;
    dirty = true;
    for (int i = 0; i < chunks; ++i)
        audio.encode(soundChunks.data() + size_t(i) * kSoundChunk * kAudioChannels, pts + int64_t(i) * kSoundChunk,
                     audioSink);
}

void FfmpegEncoder::Private::encodeCanvas(const QImage &canvas, int64_t pts, int64_t originUs)
{
    std::lock_guard<std::mutex> lock(codecMutex);
    if (!ensureEncoders())
        return;
    dirty = true;
    origins[size_t(pts % int64_t(origins.size()))] = {pts, originUs};
    video.encode(canvas, pts, wantKeyframe.exchange(false), videoSink);
}

void FfmpegEncoder::Private::deliver(AVPacket *packet, bool isVideo)
{
    EncodedPacket encoded;
    encoded.packet.reset(av_packet_alloc());
    if (!encoded.packet)
        return;
    av_packet_move_ref(encoded.packet.get(), packet);
    encoded.video = isVideo;
    encoded.generation = params ? params->generation : generation;
    encoded.ptsUs = av_rescale_q(encoded.packet->pts,
                                 isVideo ? AVRational{1, settings.fps} : AVRational{1, kAudioRate}, kMicroseconds);
    if (isVideo) {
        // A picture lasts its slot (the muxer needs it for the last one).
        if (encoded.packet->duration <= 0)
            encoded.packet->duration = 1;
        lastPictureUs = encoded.ptsUs;
        const auto &origin = origins[size_t(encoded.packet->pts % int64_t(origins.size()))];
        if (origin.first == encoded.packet->pts)
            encoded.originUs = origin.second;
    }
    std::shared_ptr<RecordOutput> recorder;
    {
        std::lock_guard<std::mutex> lock(recordMutex);
        recorder = record;
        takeRequests();
    }
    // A drain's packets end the session that is over: they are for the
    // recordings stopped with it, and the broadcast that ends with it, only.
    bool pushEnding = false;
    for (const Closing &c : closing)
        pushEnding = pushEnding || (!c.recorder && c.liveEpoch == liveEpoch.load());
    if ((!draining || drainToPush) && !pushEnding)
        push->submit(encoded);
    if (!draining && recorder)
        recorder->submit(encoded, params);
    for (Closing &c : closing) {
        if (!c.recorder && c.liveEpoch != liveEpoch.load())
            continue; // live again: the broadcast goes on as it is
        if (!c.settled || encoded.ptsUs < c.cutUs) {
            if (c.recorder)
                c.recorder->submit(encoded, params);
            else
                push->submit(encoded);
        } else if (isVideo)
            c.picturePast = true;
        else
            c.soundPast = true;
    }
}

void FfmpegEncoder::Private::reviewClosing()
{
    const int64_t now = mediaNowUs();
    for (auto it = closing.begin(); it != closing.end();) {
        const bool waitedEnough = lastPictureUs > it->cutUs + kCutSoundWaitUs || now > it->settledAtUs + 2 * kCutSoundWaitUs;
        const bool ended = it->recorder ? it->recorder->ended() : it->liveEpoch != liveEpoch.load();
        const bool done = ended || (it->settled && ((it->picturePast && it->soundPast) || waitedEnough));
        if (done) {
            close(*it);
            it = closing.erase(it);
        } else {
            ++it;
        }
    }
}

void FfmpegEncoder::Private::finishClosing()
{
    for (Closing &c : closing)
        close(c);
    closing.clear();
}

void FfmpegEncoder::Private::close(const Closing &c)
{
    if (c.recorder)
        c.recorder->finish();
    else if (c.liveEpoch == liveEpoch.load())
        push->setLive(false);
}

FfmpegEncoder::FfmpegEncoder(EncodeEvents events) : d(new Private(std::move(events)))
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

FfmpegEncoder::~FfmpegEncoder()
{
    // Whatever ends from here on, the owner ended it.
    d->report->close();
    stopRecording();
    d->live.store(false);
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        d->pushEndAfterDrain = false;
        d->push->setLive(false);
        d->requestEnd();
        d->stop = true;
    }
    d->inputWake.notify_all();
    d->thread.join(); // the session's drain first
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

void FfmpegEncoder::configure(int width, int height, int fps, int bitRate)
{
    if (width < 16 || height < 16 || width > 8192 || height > 8192 || fps < 1 || fps > 120 || bitRate < 10000) {
        qWarning("engine: video settings %dx%d %d fps %d bit/s refused", width, height, fps, bitRate);
        return;
    }
    const Private::Settings wanted{width, height, fps, bitRate};
    std::lock_guard<std::mutex> lock(d->codecMutex);
    // A running encoding keeps its settings to its end: both streams and
    // every output go on unchanged.
    if (d->live.load() || d->recordingOn() || d->sessionOn.load() || d->dirty) {
        if (wanted == d->settings) {
            d->pending.reset();
        } else if (!d->pending || !(*d->pending == wanted)) {
            d->pending = wanted;
            qInfo("engine: video settings %dx%d %d fps %d bit/s wait for the broadcast and the recording to end",
                  width, height, fps, bitRate);
        }
        return;
    }
    d->pending.reset();
    if (wanted == d->settings && (d->params || d->reopen))
        return;
    d->settings = wanted;
    d->sessionFps.store(fps);
    // Encoders hold tens of megabytes: an idle program opens them only when
    // a push or a recording first needs them.
    d->reopen = true;
}

void FfmpegEncoder::connect(const std::string &url)
{
    std::string why;
    if (!PushAddress::acceptable(url, &why)) {
        qWarning("engine: push address refused (%s): %s", why.c_str(), PushAddress::masked(url).c_str());
        if (d->events.pushState)
            d->events.pushState(url, false);
        return;
    }
    d->push->connect(url);
}

void FfmpegEncoder::setLive(bool live)
{
    d->live.store(live);
    if (live) {
        d->liveEpoch.fetch_add(1);
        {
            std::lock_guard<std::mutex> lock(d->inputMutex);
            d->pushEndAfterDrain = false;
            d->push->setLive(true);
        }
        d->wantKeyframe.store(true);
        return;
    }
    if (d->recordingOn()) {
        // The recording goes on: the broadcast ends with the last picture
        // handed in so far, and its sound with it (once per broadcast).
        const uint64_t epoch = d->liveEpoch.load();
        if (d->pushEndEpoch.exchange(epoch) != epoch) {
            std::lock_guard<std::mutex> lock(d->recordMutex);
            Private::Closing ending;
            ending.canvasSeq = d->canvasSeq.load();
            ending.liveEpoch = epoch;
            d->closingRequests.push_back(ending);
            d->requestsPending.store(true);
        }
        d->wakeEncoder();
        return;
    }
    // Nothing records: the session ends with the broadcast.
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        if (d->timeline.running()) {
            // The broadcast ends with the session's drain: its sound too.
            d->requestEnd();
            d->pushEndAfterDrain = true;
        } else {
            d->push->setLive(false);
        }
    }
    d->wakeEncoder();
}

bool FfmpegEncoder::startRecording(const std::string &path)
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
    {
        std::lock_guard<std::mutex> lock(d->recordMutex);
        if (d->record)
            d->handOver(std::move(d->record));
        d->record = recorder;
    }
    d->wakeEncoder();
    d->wantKeyframe.store(true);
    return true;
}

void FfmpegEncoder::stopRecording()
{
    std::shared_ptr<RecordOutput> recorder;
    {
        std::lock_guard<std::mutex> lock(d->recordMutex);
        recorder = d->record;
        if (recorder)
            d->handOver(std::move(d->record));
    }
    const bool live = d->live.load();
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        if (!live)
            d->requestEnd();
    }
    d->wakeEncoder();
    // One that ended by itself has nothing left to write (and this may be
    // its own report's thread).
    if (!recorder || recorder->ended())
        return;
    if (live)
        recorder->waitDone(kStopWait);
    else
        recorder->waitDone(kStopLimit, kStopWait);
}

bool FfmpegEncoder::recording() const
{
    return d->recordingOn();
}

bool FfmpegEncoder::active() const
{
    return d->live.load() || d->recordingOn();
}

SendLatency FfmpegEncoder::sendLatency() const
{
    return d->push->latency();
}

void FfmpegEncoder::onCanvas(const QImage &canvas, int64_t ptsUs)
{
    if (!active()) {
        if (d->sessionOn.load())
            d->endSessionSoon();
        return;
    }
    if (canvas.isNull())
        return;
    bool dropped = false;
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        // The last session's drain comes first.
        if (d->endPending || d->stop)
            return;
        if (!d->timeline.running()) {
            d->timeline.setFrameRate(d->sessionFps.load());
            d->timeline.begin(ptsUs);
            d->sessionOn.store(true);
        }
        if (ptsUs < d->timeline.originUs())
            return;
        if (d->canvasCount == kCanvasQueue) {
            // The encoder is behind: the oldest canvas leaves.
            d->canvases[size_t(d->canvasHead)].image = QImage();
            d->canvasHead = (d->canvasHead + 1) % kCanvasQueue;
            --d->canvasCount;
            dropped = true;
        }
        Private::Canvas &slot = d->canvases[size_t((d->canvasHead + d->canvasCount) % kCanvasQueue)];
        slot.image = canvas;
        slot.clockUs = ptsUs;
        slot.seq = d->canvasSeq.load() + 1;
        d->canvasSeq.store(slot.seq);
        ++d->canvasCount;
    }
    d->inputWake.notify_one();
    if (dropped)
        d->push->countEncoderDrop();
}

void FfmpegEncoder::onAudio(const int16_t *samples, int frames, int64_t ptsUs)
{
    if (!samples || frames <= 0)
        return;
    if (!active()) {
        if (d->sessionOn.load())
            d->endSessionSoon();
        return;
    }
    bool ready = false;
    {
        std::lock_guard<std::mutex> lock(d->inputMutex);
        if (!d->timeline.running() || d->endPending)
            return;
        const SessionTimeline::SoundPlacement place = d->timeline.placeSound(ptsUs, frames);
        d->writeSilence(place.silence);
        // A stalled encoder loses the newest sound rather than growing the buffer.
        const int n = std::min(place.take, av_audio_fifo_space(d->sound));
        if (n > 0) {
            void *data[1] = {const_cast<int16_t *>(samples + size_t(place.skip) * kAudioChannels)};
            av_audio_fifo_write(d->sound, data, n);
            d->timeline.laid(n);
        }
        ready = av_audio_fifo_size(d->sound) >= kSoundChunk;
    }
    if (ready)
        d->inputWake.notify_one();
}

} // namespace castcore

castcore::Encoder *mvencode_create_encoder(const castcore::EncodeEvents *events)
{
    return new castcore::FfmpegEncoder(events ? *events : castcore::EncodeEvents{});
}
