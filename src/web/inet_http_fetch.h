// InetHttpFetch: one synchronous HTTP(S) request in the manner of the
// Internet API: a fresh session per call (connections are still reused under
// the hood), the process cookie store unless the caller passes cookies,
// redirects followed, certificates verified.
//
// Blocks the calling thread until the body is read, a time-out ends it or
// options.cancel is cancelled. Safe to call from any number of threads at once.
#pragma once

#include <cstdint>

#include "web/fetch_options.h"

namespace zv::web {

// Request flags, with the meanings of the Internet API's values.
inline constexpr std::uint32_t kFlagReload = 0x80000000;
inline constexpr std::uint32_t kFlagNeedFile = 0x00000010;
inline constexpr std::uint32_t kFlagNoCookies = 0x00080000;
inline constexpr std::uint32_t kFlagNoAutoRedirect = 0x00200000;
inline constexpr std::uint32_t kFlagSecure = 0x00800000;
inline constexpr std::uint32_t kFlagIgnoreRedirectToHttps = 0x00004000;

// The flags a request with these options and this URL is made with.
std::uint32_t InetRequestFlags(const Text& url, const FetchOptions& options);

// The response body, or empty bytes when the request failed.
Bytes InetHttpFetch(const Text& url, FetchOptions& options);
inline Bytes InetHttpFetch(const Text& url) {
  FetchOptions options;
  return InetHttpFetch(url, options);
}

}  // namespace zv::web
