#pragma once

// A push address: rtmp[s]://[user@]host[:port]/application/stream[?query].
// Platforms hand out the stream key or a signed token in the path or the
// query, so the log only ever gets masked().

#include <string>

namespace castcore {
namespace PushAddress {

// Whether FFmpeg can push to it, with the reason when not. The scheme is
// case-blind, the host a name, an IPv4 address or a bracketed IPv6 one.
bool acceptable(const std::string &url, std::string *why);

// The address as FFmpeg takes it: its protocol names are lower case only.
std::string forFfmpeg(const std::string &url);

// The server's TCP port: the one given, else the scheme's (1935, rtmps 443).
int port(const std::string &url);

// Scheme, host, port and application, with the rest "***":
// "rtmp://host:1935/live/KEY?token=t" gives "rtmp://host:1935/live/***".
// An address without a well-formed scheme and host gives "***" whole, a
// port with more than digits in it "***" in its place.
std::string masked(const std::string &url);

} // namespace PushAddress
} // namespace castcore
