#include "EncodeLibrary.h"

#include <QtGlobal>

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <mutex>

namespace castcore {
namespace EncodeLibrary {

namespace {

const char kLibraryName[] = "libmvencode.so";

using CreateEncoder = Encoder *(*)(const EncodeEvents *);
using CreateJpegDecoder = JpegDecoder *(*)();

struct State
{
    std::mutex mutex;
    std::string path;       // set by setPath, else found on first use
    std::string failedPath; // the path whose failure was logged
    CreateEncoder createEncoder = nullptr;
    CreateJpegDecoder createJpegDecoder = nullptr;
};

State &state()
{
    static State s;
    return s;
}

std::string defaultPath()
{
    // The program's own folder, without needing a QCoreApplication.
    char exe[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return kLibraryName;
    const std::string self(exe, size_t(n));
    return self.substr(0, self.rfind('/') + 1) + kLibraryName;
}

// Under s.mutex. True once the entry points are known.
bool load(State &s)
{
    if (s.createEncoder && s.createJpegDecoder)
        return true;
    const std::string file = s.path.empty() ? defaultPath() : s.path;
    // Never unloaded: its code must outlive every object it made.
    void *handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    std::string error;
    if (handle) {
        s.createEncoder = reinterpret_cast<CreateEncoder>(::dlsym(handle, "mvencode_create_encoder"));
        s.createJpegDecoder = reinterpret_cast<CreateJpegDecoder>(::dlsym(handle, "mvencode_create_jpeg_decoder"));
        if (s.createEncoder && s.createJpegDecoder) {
            qInfo("engine: encoding library loaded from %s", file.c_str());
            return true;
        }
        s.createEncoder = nullptr;
        s.createJpegDecoder = nullptr;
        error = file + " offers no encoders";
    } else {
        const char *why = ::dlerror();
        error = why ? why : file;
    }
    if (s.failedPath != file) {
        s.failedPath = file;
        qWarning("engine: encoding library not available: %s", error.c_str());
    }
    return false;
}

} // namespace

std::unique_ptr<Encoder> createEncoder(const EncodeEvents &events)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!load(s))
        return nullptr;
    return std::unique_ptr<Encoder>(s.createEncoder(&events));
}

std::unique_ptr<JpegDecoder> createJpegDecoder()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!load(s))
        return nullptr;
    return std::unique_ptr<JpegDecoder>(s.createJpegDecoder());
}

void setPath(const std::string &path)
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.path = path;
    s.failedPath.clear();
    s.createEncoder = nullptr;
    s.createJpegDecoder = nullptr;
}

std::string path()
{
    State &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.path.empty() ? defaultPath() : s.path;
}

} // namespace EncodeLibrary
} // namespace castcore
