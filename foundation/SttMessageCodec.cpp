#include "SttMessageCodec.h"

#include "SttAES.h"

#include <cstring>

namespace {

std::uint32_t readLength(const char *p)
{
    const auto *b = reinterpret_cast<const unsigned char *>(p);
    return std::uint32_t(b[0]) | (std::uint32_t(b[1]) << 8) | (std::uint32_t(b[2]) << 16)
        | (std::uint32_t(b[3]) << 24);
}

void writeLength(char *p, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = char((value >> (8 * i)) & 0xFF);
}

bool isEnciphered(const char *message, std::size_t length)
{
    return length >= SttMessageHeaderBytes && message[6] != 0;
}

} // namespace

CSttTransmitData *SttEncodeMessage(const void *message, std::size_t length)
{
    const char *bytes = static_cast<const char *>(message);
    if (!isEnciphered(bytes, length)) {
        if (length > SttMaxFrameLength)
            return nullptr;
        auto *frame = new CSttTransmitData(length + 4);
        writeLength(frame->Data(), std::uint32_t(length));
        if (length)
            std::memcpy(frame->Data() + 4, bytes, length);
        return frame;
    }

    const std::size_t padded = (length - SttMessageHeaderBytes + 15) / 16 * 16;
    const std::size_t messageLength = SttMessageHeaderBytes + padded;
    if (messageLength > SttMaxFrameLength)
        return nullptr;
    auto *frame = new CSttTransmitData(messageLength + 4);
    char *out = frame->Data();
    writeLength(out, std::uint32_t(messageLength));
    std::memcpy(out + 4, bytes, length);
    std::memset(out + 4 + length, 0, messageLength - length);
    writeLength(out + 4, std::uint32_t(messageLength));
    SttGlobalAES().Encrypt(out + 12, out + 12, unsigned(padded));
    return frame;
}

char *SttDecodeMessage(char *message, std::size_t length)
{
    if (!message || length < SttMessageHeaderBytes || readLength(message) != length)
        return nullptr;
    if (message[6] == 0)
        return message;
    const std::size_t body = length - SttMessageHeaderBytes;
    if (body % 16 != 0)
        return nullptr;
    if (!SttGlobalAES().Decrypt(message + 8, message + 8, unsigned(body)))
        return nullptr;
    return message;
}

SttFrameCutter::~SttFrameCutter()
{
    if (m_kept)
        m_kept->Release();
}

std::size_t SttFrameCutter::Kept() const
{
    return m_kept ? m_kept->Size() : 0;
}

boost::system::error_code SttFrameCutter::Feed(char *bytes, std::size_t length,
                                               const MessageHandler &handler)
{
    char *work = bytes;
    std::size_t size = length;
    if (m_kept) {
        if (!m_kept->Append(bytes, length))
            return boost::system::errc::make_error_code(boost::system::errc::not_enough_memory);
        work = m_kept->Data();
        size = m_kept->Size();
    }

    std::size_t offset = 0;
    while (size - offset > 4) {
        const std::uint32_t frameLength = readLength(work + offset);
        if (frameLength > SttMaxFrameLength)
            return boost::system::errc::make_error_code(boost::system::errc::message_size);
        if (size - offset < std::size_t(frameLength) + 4)
            break;
        char *message = SttDecodeMessage(work + offset + 4, frameLength);
        if (!message)
            return boost::system::errc::make_error_code(boost::system::errc::bad_message);
        if (handler)
            handler(message, frameLength);
        offset += std::size_t(frameLength) + 4;
    }

    const std::size_t left = size - offset;
    if (m_kept) {
        if (left == 0) {
            m_kept->Release();
            m_kept = nullptr;
        } else {
            m_kept->DropFront(offset);
        }
    } else if (left > 0) {
        m_kept = new CSttTransmitData(work + offset, left);
    }
    return boost::system::error_code();
}
