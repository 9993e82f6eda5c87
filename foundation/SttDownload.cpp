#include "SttDownload.h"

#include "TextHelpers.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kMaxRedirects = 10;

// libcurl, and the TLS, LDAP and SSH libraries behind it, are loaded with the
// first download: a start that downloads nothing does not pay for them.
struct CurlLibrary
{
    decltype(&::curl_global_init) globalInit = nullptr;
    decltype(&::curl_global_cleanup) globalCleanup = nullptr;
    decltype(&::curl_easy_init) init = nullptr;
    decltype(&::curl_easy_setopt) setopt = nullptr;
    decltype(&::curl_easy_perform) perform = nullptr;
    decltype(&::curl_easy_getinfo) getinfo = nullptr;
    decltype(&::curl_easy_cleanup) cleanup = nullptr;
    decltype(&::curl_easy_strerror) strerror = nullptr;

    bool loaded() const
    {
        return globalInit && globalCleanup && init && setopt && perform && getinfo && cleanup && strerror;
    }
};

template <typename Function>
void resolve(void *library, const char *name, Function *function)
{
    *function = reinterpret_cast<Function>(::dlsym(library, name));
}

const CurlLibrary &curlLibrary()
{
    static const CurlLibrary curl = [] {
        CurlLibrary c;
        // Never closed: libcurl's global state lives as long as the program.
        void *library = ::dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
        if (!library) {
            std::fprintf(stderr, "download: libcurl not available: %s\n", ::dlerror());
            return c;
        }
        resolve(library, "curl_global_init", &c.globalInit);
        resolve(library, "curl_global_cleanup", &c.globalCleanup);
        resolve(library, "curl_easy_init", &c.init);
        resolve(library, "curl_easy_setopt", &c.setopt);
        resolve(library, "curl_easy_perform", &c.perform);
        resolve(library, "curl_easy_getinfo", &c.getinfo);
        resolve(library, "curl_easy_cleanup", &c.cleanup);
        resolve(library, "curl_easy_strerror", &c.strerror);
        if (!c.loaded())
            std::fprintf(stderr, "download: libcurl lacks a function it should have\n");
        return c;
    }();
    return curl;
}

size_t writeToFile(char *data, size_t size, size_t count, void *file)
{
    return std::fwrite(data, size, count, static_cast<FILE *>(file)) * size;
}

// Empties the file; it stays open for appending.
void emptyFile(FILE *file)
{
    std::fflush(file);
    if (ftruncate(fileno(file), 0) == 0)
        std::rewind(file);
}

} // namespace

int DownloadUrlToFile(const char *url, const char16_t *filePath, long timeoutSeconds,
                      int attempts, long followRedirects)
{
    const CurlLibrary &lib = curlLibrary();
    if (!lib.loaded() || lib.globalInit(CURL_GLOBAL_ALL) != CURLE_OK)
        return -1;
    const std::string path = filePath ? wstringToUtf8(std::u16string(filePath)) : std::string();
    // Received into a file of its own beside the target, which is replaced
    // only by a complete download: a failure keeps an earlier good copy.
    std::string partPath = path + ".part-XXXXXX";
    const int partFd = filePath ? ::mkstemp(&partPath[0]) : -1;
    if (partFd >= 0) {
        // mkstemp makes it private; a download is an ordinary file (or keeps
        // the mode of the copy it replaces).
        struct stat target{};
        ::fchmod(partFd, ::stat(path.c_str(), &target) == 0 ? (target.st_mode & 07777) : 0644);
    }
    FILE *file = partFd >= 0 ? ::fdopen(partFd, "ab+") : nullptr;
    if (!file) {
        std::perror(path.c_str());
        if (partFd >= 0) {
            ::close(partFd);
            ::unlink(partPath.c_str());
        }
        lib.globalCleanup();
        return -1;
    }

    CURLcode result = CURLE_GOT_NOTHING;
    for (int attempt = 0; attempt < attempts && result != CURLE_OK; ++attempt) {
        // Bytes of an earlier, failed attempt must not stay in front.
        emptyFile(file);
        CURL *curl = lib.init();
        if (!curl) {
            std::fclose(file);
            ::unlink(partPath.c_str());
            lib.globalCleanup();
            return -1;
        }
        lib.setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        lib.setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        lib.setopt(curl, CURLOPT_URL, url);
        lib.setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
        if (timeoutSeconds != 0) {
            lib.setopt(curl, CURLOPT_FTP_RESPONSE_TIMEOUT, timeoutSeconds);
            lib.setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1024L);
            lib.setopt(curl, CURLOPT_LOW_SPEED_TIME, timeoutSeconds);
        }
        lib.setopt(curl, CURLOPT_WRITEFUNCTION, writeToFile);
        lib.setopt(curl, CURLOPT_WRITEDATA, file);
        // An error page is no download.
        lib.setopt(curl, CURLOPT_FAILONERROR, 1L);
        lib.setopt(curl, CURLOPT_NOPROGRESS, 0L);
        lib.setopt(curl, CURLOPT_FOLLOWLOCATION, followRedirects);
        // A redirect loop ends with CURLE_TOO_MANY_REDIRECTS.
        lib.setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
        lib.setopt(curl, CURLOPT_VERBOSE, 1L);
        result = lib.perform(curl);
        long status = 0;
        lib.getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        // A redirect that was not followed carries no file, only its own
        // page: as much a failure as an error status.
        if (result == CURLE_OK && status >= 300 && status < 400)
            result = CURLE_HTTP_RETURNED_ERROR;
        lib.cleanup(curl);
    }
    const bool flushed = std::fflush(file) == 0;
    std::fclose(file);
    if (result == CURLE_OK && (!flushed || std::rename(partPath.c_str(), path.c_str()) != 0)) {
        std::perror(path.c_str());
        result = CURLE_WRITE_ERROR;
    }
    if (result != CURLE_OK)
        ::unlink(partPath.c_str());

    if (result == CURLE_OK) {
        lib.globalCleanup();
        return 0;
    }
    std::fprintf(stderr, "%s\n", lib.strerror(result));
    lib.globalCleanup();
    return int(result);
}
