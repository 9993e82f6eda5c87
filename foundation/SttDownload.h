#pragma once

// Downloads the URL into the file through libcurl, trying up to the given
// number of attempts until one succeeds. Each attempt starts from an empty
// file, and a download that fails in the end leaves the file empty. TLS
// peers must present a certificate that verifies, and an HTTP error status
// fails the attempt. timeoutSeconds (when not 0) ends a transfer slower than
// 1024 bytes per second for that long. Returns 0, -1 when libcurl or the
// file cannot be set up, or the libcurl code of the last attempt (52 when
// no attempt was made).
int DownloadUrlToFile(const char *url, const char16_t *filePath, long timeoutSeconds,
                      int attempts, long followRedirects);
