// The directory site a front end harvests: "http(s)://host[:port]", given by
// --site on the window's and the CLI's command line.
#pragma once

#include <string>

namespace zv::app {

// The demo site's address on loopback, the default of both front ends.
inline constexpr const char* kDefaultSiteUrl = "http://127.0.0.1:8731";

// True for "http://host" or "https://host" with an optional ":port"
// (1-65535) and nothing after it: no path, query, user or blanks.
bool IsSiteUrl(const std::string& url);

}  // namespace zv::app
