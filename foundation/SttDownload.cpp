#include "SttDownload.h"

#include "TextHelpers.h"

#include <curl/curl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr long kMaxRedirects = 10;

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
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
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
        curl_global_cleanup();
        return -1;
    }

    CURLcode result = CURLE_GOT_NOTHING;
    for (int attempt = 0; attempt < attempts && result != CURLE_OK; ++attempt) {
        // Bytes of an earlier, failed attempt must not stay in front.
        emptyFile(file);
        CURL *curl = curl_easy_init();
        if (!curl) {
            std::fclose(file);
            ::unlink(partPath.c_str());
            curl_global_cleanup();
            return -1;
        }
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
        curl_easy_setopt(curl, CURLOPT_URL, url);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 5L);
        if (timeoutSeconds != 0) {
            curl_easy_setopt(curl, CURLOPT_FTP_RESPONSE_TIMEOUT, timeoutSeconds);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1024L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, timeoutSeconds);
        }
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeToFile);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
        // An error page is no download.
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, followRedirects);
        // A redirect loop ends with CURLE_TOO_MANY_REDIRECTS.
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
        result = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        // A redirect that was not followed carries no file, only its own
        // page: as much a failure as an error status.
        if (result == CURLE_OK && status >= 300 && status < 400)
            result = CURLE_HTTP_RETURNED_ERROR;
        curl_easy_cleanup(curl);
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
        curl_global_cleanup();
        return 0;
    }
    std::fprintf(stderr, "%s\n", curl_easy_strerror(result));
    curl_global_cleanup();
    return int(result);
}
