// Picture and overlay files as a broadcaster may pick them (or a download
// left them): every frame is read and scaled to an item's size the way the
// picture source does, within the decoder's bounds of size and memory.
#include "FuzzSupport.h"
#include "sources/PictureDecoder.h"

#include <cstdlib>

using namespace castcore;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const PictureFrames out = PictureDecoder::decodeBytes(fuzzsupport::bytes(data, size), QSize(64, 48));
    if (out.frames.empty() == out.error.isEmpty() || out.frames.size() != out.delaysMs.size())
        std::abort();
    for (std::size_t i = 0; i < out.frames.size(); ++i) {
        const QImage &f = out.frames[i];
        if (f.size() != QSize(64, 48) || f.format() != QImage::Format_ARGB32_Premultiplied)
            std::abort();
        if (out.animated() && out.delaysMs[i] <= PictureDecoder::kShortestDelayMs)
            std::abort();
    }
    return 0;
}
