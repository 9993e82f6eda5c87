// The MJPG decoder of real cameras (libavcodec), built into libmvencode.so
// so that the program maps libavcodec only once such a camera opens.

#include "Encoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cstring>
#include <vector>

namespace castcore {

namespace {

class AvJpegDecoder : public JpegDecoder
{
public:
    ~AvJpegDecoder() override
    {
        av_frame_free(&m_kept);
        av_frame_free(&m_decoded);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_decoder);
    }

    bool open()
    {
        const AVCodec *codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
        m_decoder = codec ? avcodec_alloc_context3(codec) : nullptr;
        m_packet = av_packet_alloc();
        m_decoded = av_frame_alloc();
        m_kept = av_frame_alloc();
        return m_decoder && m_packet && m_decoded && m_kept && avcodec_open2(m_decoder, codec, nullptr) == 0;
    }

    bool decode(const uint8_t *data, size_t bytes, DecodedPicture *picture) override
    {
        av_frame_unref(m_kept);
        // The decoder reads a little past the end: copy into a padded buffer.
        if (m_packetData.size() < bytes + AV_INPUT_BUFFER_PADDING_SIZE)
            m_packetData.resize(bytes + AV_INPUT_BUFFER_PADDING_SIZE);
        std::memcpy(m_packetData.data(), data, bytes);
        std::memset(m_packetData.data() + bytes, 0, AV_INPUT_BUFFER_PADDING_SIZE);
        m_packet->data = m_packetData.data();
        m_packet->size = int(bytes);
        const int sent = avcodec_send_packet(m_decoder, m_packet);
        m_packet->data = nullptr;
        m_packet->size = 0;
        if (sent < 0)
            return false;
        bool got = false;
        while (avcodec_receive_frame(m_decoder, m_decoded) == 0) {
            av_frame_unref(m_kept);
            av_frame_move_ref(m_kept, m_decoded);
            got = true;
        }
        if (!got)
            return false;
        AVPixelFormat format = AVPixelFormat(m_kept->format);
        bool fullRange = m_kept->color_range == AVCOL_RANGE_JPEG;
        // The "J" formats are the plain ones at full range.
        switch (format) {
        case AV_PIX_FMT_YUVJ420P: format = AV_PIX_FMT_YUV420P, fullRange = true; break;
        case AV_PIX_FMT_YUVJ422P: format = AV_PIX_FMT_YUV422P, fullRange = true; break;
        case AV_PIX_FMT_YUVJ444P: format = AV_PIX_FMT_YUV444P, fullRange = true; break;
        default: break;
        }
        for (int i = 0; i < 4; ++i) {
            picture->planes[i] = m_kept->data[i];
            picture->strides[i] = m_kept->linesize[i];
        }
        picture->width = m_kept->width;
        picture->height = m_kept->height;
        picture->pixelFormat = format;
        picture->fullRange = fullRange;
        return true;
    }

private:
    AVCodecContext *m_decoder = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_decoded = nullptr;
    AVFrame *m_kept = nullptr;
    std::vector<uint8_t> m_packetData;
};

} // namespace

} // namespace castcore

castcore::JpegDecoder *mvencode_create_jpeg_decoder()
{
    auto *decoder = new castcore::AvJpegDecoder;
    if (decoder->open())
        return decoder;
    delete decoder;
    return nullptr;
}
