#include "QrMark.h"

#include <qrencode.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>

namespace {

// What a handed-out matrix owns besides the public record.
struct OwnedMatrix : QrCodeMatrix
{
    QRcode *encoded = nullptr;                 // from libqrencode, or
    std::vector<unsigned char> forcedModules;  // a forced result's own bytes
};

struct Forced
{
    bool fail = false;
    int version = 0;
    int width = 0;
    std::vector<unsigned char> data;
};

struct State
{
    std::mutex mutex;
    mvplatform::CallLog log;
    mvplatform::Gates gates;
    mvplatform::Activity activity;
    mvplatform::Script<Forced> forced;
    std::set<const QrCodeMatrix *> live;
    int encodes = 0;
    int frees = 0;
};

State &state()
{
    static State s;
    return s;
}

OwnedMatrix *fromForced(const Forced &f)
{
    auto *m = new OwnedMatrix;
    m->version = f.version;
    m->width = f.width > 0 ? f.width : 0;
    const size_t modules = size_t(m->width) * size_t(m->width);
    m->forcedModules = f.data;
    // Never a null data pointer: a reader that treats width 0 as one module
    // reads a light byte.
    m->forcedModules.resize(std::max<size_t>(modules, 1), 0);
    m->data = m->forcedModules.data();
    return m;
}

OwnedMatrix *encode(const char *text, int version, int level, int mode, int caseSensitive)
{
    if (!text || version < 0 || version > QRSPEC_VERSION_MAX || level < QR_ECLEVEL_L
        || level > QR_ECLEVEL_H || (mode != QR_MODE_8 && mode != QR_MODE_KANJI))
        return nullptr;
    QRcode *code = QRcode_encodeString(text, version, QRecLevel(level), QRencodeMode(mode),
                                       caseSensitive);
    if (!code)
        return nullptr;
    if (code->width <= 0 || !code->data) {
        QRcode_free(code);
        return nullptr;
    }
    auto *m = new OwnedMatrix;
    m->encoded = code;
    m->version = code->version;
    m->width = code->width;
    m->data = code->data;
    return m;
}

} // namespace

QrCodeMatrix *encodeQrText(const char *text, int version, int level, int mode, int caseSensitive)
{
    State &s = state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "encodeQrText");
    s.log.record("encodeQrText", {mvplatform::toArg(text), mvplatform::toArg(version),
                                  mvplatform::toArg(level), mvplatform::toArg(mode),
                                  mvplatform::toArg(caseSensitive)});
    const std::optional<Forced> forced = s.forced.take("encode");

    OwnedMatrix *m = nullptr;
    if (forced)
        m = forced->fail ? nullptr : fromForced(*forced);
    else
        m = encode(text, version, level, mode, caseSensitive);

    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.encodes;
    if (m)
        s.live.insert(m);
    return m;
}

void freeQrMatrix(QrCodeMatrix *matrix)
{
    State &s = state();
    const mvplatform::Activity::Call call(s.activity, s.gates, "freeQrMatrix");
    bool known = false;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        known = matrix && s.live.erase(matrix) > 0;
        if (known)
            ++s.frees;
    }
    s.log.record("freeQrMatrix", {known ? "freed" : "ignored"});
    if (!known)
        return;
    auto *owned = static_cast<OwnedMatrix *>(matrix);
    if (owned->encoded)
        QRcode_free(owned->encoded);
    delete owned;
}

namespace qrmark {

void reset()
{
    State &s = state();
    s.forced.clear();
    s.log.clear();
    s.gates.openAll();
    std::lock_guard<std::mutex> lock(s.mutex);
    // Matrices still out stay valid for their holders; only the counts restart.
    s.encodes = 0;
    s.frees = 0;
}

void forceNextResult(int version, int width, const std::vector<unsigned char> &data)
{
    state().forced.push("encode", Forced{false, version, width, data});
}

void forceNextFailure()
{
    state().forced.push("encode", Forced{true, 0, 0, {}});
}

int encodeCount()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().encodes;
}

int freeCount()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().frees;
}

int liveMatrices()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return int(state().live.size());
}

const mvplatform::CallLog &callLog()
{
    return state().log;
}

mvplatform::Gates &gates()
{
    return state().gates;
}

bool waitIdle(int timeoutMs)
{
    return state().activity.waitIdle(timeoutMs);
}

} // namespace qrmark
