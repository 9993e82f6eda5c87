#pragma once

#include "ControlFace.h"

#include <vector>

// A QR symbol as the encoder hands it out: width * width module bytes, row by
// row from the top; bit 0 of a byte set means a dark module, the other bits
// carry nothing for the caller. Owned by the encoder: give it back through
// freeQrMatrix.
struct QrCodeMatrix
{
    int version;
    int width;
    unsigned char *data;
};

// Encodes text (UTF-8, NUL-terminated). version is the smallest symbol
// version to use (the encoder grows it as the text needs, 0 picks freely),
// level the error correction (0 L, 1 M, 2 Q, 3 H), mode the hint (2 8-bit,
// 3 Kanji) and caseSensitive as the name says. Null on failure.
QrCodeMatrix *encodeQrText(const char *text, int version, int level, int mode, int caseSensitive);

// Frees a result of encodeQrText. Null, and anything not handed out by
// encodeQrText or already freed, is ignored.
void freeQrMatrix(QrCodeMatrix *matrix);

// Test face of the encoder.
namespace qrmark {

// Forgets forced results, counts and the call log, and opens every gate.
void reset();

// The next encode returns this matrix (copied; missing module bytes are
// light; a width below 0 is 0, and data then points to one light byte)
// instead of encoding, whatever the text.
void forceNextResult(int version, int width, const std::vector<unsigned char> &data);
// The next encode fails (returns null).
void forceNextFailure();

int encodeCount();   // every call of encodeQrText
int freeCount();     // every call of freeQrMatrix that freed a matrix
int liveMatrices();  // handed out and not yet freed

// "encodeQrText" (text, version, level, mode, caseSensitive) and
// "freeQrMatrix" (freed or ignored).
const mvplatform::CallLog &callLog();

// Gates "encodeQrText" and "freeQrMatrix" hold those calls.
mvplatform::Gates &gates();
// True once no call is in the encoder (held ones included); false on timeout.
bool waitIdle(int timeoutMs = 5000);

} // namespace qrmark
