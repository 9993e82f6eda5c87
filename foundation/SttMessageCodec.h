#pragma once

#include "SttTransmitData.h"

#include <boost/system/error_code.hpp>

#include <cstddef>
#include <cstdint>
#include <functional>

// Frames on the wire (integers little-endian):
//   frame:   u32 length L of what follows (at most SttMaxFrameLength), message
//   message: u32 message length (equal to L), 2 bytes for the caller,
//            u8 enciphered flag, 1 byte for the caller, body
// An enciphered body is zero-padded to whole 16-byte blocks and enciphered
// with the process-wide cipher; the 8 header bytes stay plain.

constexpr std::uint32_t SttMaxFrameLength = 104857600;
constexpr std::size_t SttMessageHeaderBytes = 8;

// The frame for a message. An enciphered message gets its padded length
// written into its length field, so that the decoder accepts it. Null when
// the frame would exceed SttMaxFrameLength.
CSttTransmitData *SttEncodeMessage(const void *message, std::size_t length);

// Checks one message cut from a frame and deciphers its body in place.
// Returns the message, or null when it is invalid.
char *SttDecodeMessage(char *message, std::size_t length);

// Cuts a received byte stream into frames and decodes their messages,
// keeping the start of an incomplete frame until more bytes come.
class SttFrameCutter
{
public:
    using MessageHandler = std::function<void(const char *message, std::size_t length)>;

    SttFrameCutter() = default;
    ~SttFrameCutter();
    SttFrameCutter(const SttFrameCutter &) = delete;
    SttFrameCutter &operator=(const SttFrameCutter &) = delete;

    // Hands every complete message to the handler, in order. Returns an
    // error for a frame length above the limit (message_size) or a message
    // that does not decode (bad_message); the stream cannot go on after it.
    // The received bytes may be changed in place.
    boost::system::error_code Feed(char *bytes, std::size_t length, const MessageHandler &handler);

    // Bytes kept from an incomplete frame.
    std::size_t Kept() const;

private:
    CSttTransmitData *m_kept = nullptr;
};
