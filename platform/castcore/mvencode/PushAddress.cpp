#include "PushAddress.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace castcore {
namespace PushAddress {

namespace {

constexpr size_t kMaxUrlBytes = 1024;
constexpr size_t kMaxShownBytes = 200;
constexpr int kRtmpPort = 1935;
constexpr int kRtmpsPort = 443;
const char kMask[] = "***";
const char kDigits[] = "0123456789";
const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

struct Parts
{
    bool parsed = false;     // has a well-formed scheme and host part
    std::string scheme;      // as written, once well-formed
    bool userInfo = false;   // "user[:password]@" before the host
    std::string host;        // IPv6 with its brackets
    bool portGiven = false;  // a ':' after the host
    std::string port;        // digits or not, as written
    bool path = false;       // a '/' after the host
    std::string application; // the first path segment
    std::string rest;        // from the separator after the application on
};

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

bool onlyOf(const std::string &text, const std::string &allowed)
{
    return text.find_first_not_of(allowed) == std::string::npos;
}

// masked() shows the scheme and host as written, so nothing else may pass
// for them: a key after a backslash or a comma, or after a second "://".
bool wellFormedScheme(const std::string &scheme)
{
    return !scheme.empty() && onlyOf(scheme.substr(0, 1), kLetters)
        && onlyOf(scheme, std::string(kLetters) + kDigits + "+.-");
}

bool wellFormedHost(const std::string &host)
{
    if (!host.empty() && host.front() == '[')
        return onlyOf(host.substr(1, host.size() - 2), std::string(kDigits) + "ABCDEFabcdef:.");
    return onlyOf(host, std::string(kLetters) + kDigits + "._-");
}

Parts split(const std::string &url)
{
    Parts p;
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos || !wellFormedScheme(url.substr(0, schemeEnd)))
        return p;
    p.scheme = url.substr(0, schemeEnd);
    const size_t from = schemeEnd + 3;
    const size_t pathStart = std::min(url.find_first_of("/?#", from), url.size());
    std::string authority = url.substr(from, pathStart - from);
    const size_t at = authority.rfind('@');
    if (at != std::string::npos) {
        p.userInfo = true;
        authority.erase(0, at + 1);
    }
    size_t hostEnd = 0;
    if (!authority.empty() && authority.front() == '[') {
        // The colons of an IPv6 address are not the port's.
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return p;
        hostEnd = close + 1;
    } else {
        hostEnd = std::min(authority.find(':'), authority.size());
    }
    p.host = authority.substr(0, hostEnd);
    if (!wellFormedHost(p.host))
        return p;
    if (hostEnd < authority.size()) {
        if (authority[hostEnd] != ':')
            return p;
        p.portGiven = true;
        p.port = authority.substr(hostEnd + 1);
    }
    if (pathStart < url.size() && url[pathStart] == '/') {
        p.path = true;
        const size_t appEnd = std::min(url.find_first_of("/?#", pathStart + 1), url.size());
        p.application = url.substr(pathStart + 1, appEnd - pathStart - 1);
        p.rest = url.substr(appEnd);
    } else {
        p.rest = url.substr(pathStart);
    }
    p.parsed = true;
    return p;
}

bool rtmps(const Parts &p)
{
    return lowered(p.scheme) == "rtmps";
}

} // namespace

bool acceptable(const std::string &url, std::string *why)
{
    if (url.size() > kMaxUrlBytes) {
        *why = "longer than 1024 bytes";
        return false;
    }
    for (unsigned char c : url) {
        if (c <= 0x20 || c == 0x7f) {
            *why = "contains a space or a control character";
            return false;
        }
    }
    const Parts p = split(url);
    const std::string scheme = lowered(p.scheme);
    if (scheme != "rtmp" && scheme != "rtmps") {
        *why = "not an rtmp:// or rtmps:// address";
        return false;
    }
    if (!p.parsed) {
        *why = "bad host";
        return false;
    }
    if (p.host.empty() || p.host == "[]") {
        *why = "no host";
        return false;
    }
    if (p.portGiven) {
        const int number = p.port.size() <= 5 ? std::atoi(p.port.c_str()) : 0;
        if (p.port.empty() || !onlyOf(p.port, kDigits) || number < 1 || number > 65535) {
            *why = "bad port";
            return false;
        }
    }
    return true;
}

std::string forFfmpeg(const std::string &url)
{
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos)
        return url;
    return lowered(url.substr(0, schemeEnd)) + url.substr(schemeEnd);
}

int port(const std::string &url)
{
    const Parts p = split(url);
    if (p.portGiven)
        return std::atoi(p.port.c_str());
    return rtmps(p) ? kRtmpsPort : kRtmpPort;
}

std::string masked(const std::string &url)
{
    const Parts p = split(url);
    if (!p.parsed)
        return url.empty() ? std::string() : std::string(kMask);
    std::string shown = p.scheme + "://";
    if (p.userInfo)
        shown += std::string(kMask) + "@";
    shown += p.host;
    if (p.portGiven)
        shown += ":" + (onlyOf(p.port, kDigits) ? p.port : std::string(kMask));
    if (p.path)
        shown += "/" + p.application;
    if (!p.rest.empty())
        shown += p.rest.front() + std::string(kMask);
    // A refused address may hold anything: one line of printable bytes.
    for (char &c : shown) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            c = '?';
    }
    if (shown.size() > kMaxShownBytes)
        shown = shown.substr(0, kMaxShownBytes) + "...";
    return shown;
}

} // namespace PushAddress
} // namespace castcore
