#include "SttDownload.h"

#include "TextHelpers.h"

#include <curl/curl.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

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
    FILE *file = filePath ? std::fopen(path.c_str(), "ab+") : nullptr;
    if (!file) {
        std::perror(path.c_str());
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
        curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    if (result != CURLE_OK && attempts > 0)
        emptyFile(file);
    std::fclose(file);

    if (result == CURLE_OK) {
        curl_global_cleanup();
        return 0;
    }
    std::fprintf(stderr, "%s\n", curl_easy_strerror(result));
    curl_global_cleanup();
    return int(result);
}
