#pragma once

// Downloads the URL into the file through libcurl, trying up to the given
// number of attempts until one succeeds. The bytes go to a temporary file
// beside the target, which replaces the target only when a download
// succeeded: a failure leaves the target as it was (absent, or an earlier
// copy). TLS peers must present a certificate that verifies; an HTTP error
// status fails the attempt, and so does a redirect answer when redirects are
// not followed (CURLE_HTTP_RETURNED_ERROR). At most 10 redirects are
// followed (then CURLE_TOO_MANY_REDIRECTS). timeoutSeconds (when not 0)
// ends a transfer slower than 1024 bytes per second for that long. Returns
// 0, -1 when libcurl or the file cannot be set up, or the libcurl code of
// the last attempt (52 when no attempt was made).
int DownloadUrlToFile(const char *url, const char16_t *filePath, long timeoutSeconds,
                      int attempts, long followRedirects);
