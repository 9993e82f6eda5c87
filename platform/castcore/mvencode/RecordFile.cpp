#include "RecordFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace castcore {

namespace {

bool isStream(mode_t mode)
{
    return S_ISFIFO(mode) || S_ISCHR(mode);
}

// An existing FIFO or device, opened without creating or truncating
// anything. A FIFO nobody reads is refused (ENXIO) instead of waiting for a
// reader. -1 with errno set; EEXIST when the name turned out to be a file.
int openStream(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !isStream(st.st_mode)) {
        // Swapped for a file since we looked: not ours to write over.
        ::close(fd);
        errno = EEXIST;
        return -1;
    }
    return fd;
}

} // namespace

std::string RecordFile::numbered(const std::string &path, int n)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    // A dot that starts the name (".mp4") or sits in a folder is no extension.
    if (dot == std::string::npos || dot <= nameStart)
        dot = path.size();
    return path.substr(0, dot) + "-" + std::to_string(n) + path.substr(dot);
}

RecordFile RecordFile::create(const std::string &path, std::string *error)
{
    RecordFile file;
    if (path.empty()) {
        *error = "no file name";
        return file;
    }
    for (int n = 0; n <= kMaxNumber; ++n) {
        const std::string name = n == 0 ? path : numbered(path, n);
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        file.created = fd >= 0;
        if (fd < 0 && errno == EEXIST) {
            struct stat st;
            if (::lstat(name.c_str(), &st) == 0 && isStream(st.st_mode))
                fd = openStream(name);
            else
                errno = EEXIST;
        }
        if (fd >= 0) {
            file.fd = fd;
            file.path = name;
            return file;
        }
        if (errno != EEXIST) {
            *error = std::strerror(errno);
            return file;
        }
    }
    *error = "the name and its numbered ones up to -" + std::to_string(kMaxNumber) + " are taken";
    return file;
}

} // namespace castcore
