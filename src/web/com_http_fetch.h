// ComHttpFetch: one synchronous HTTP(S) request in the manner of the script
// request object: default header lines with a User-Agent, 15 s time-outs,
// certificate errors ignored, cookies only as the caller passes them.
//
// Blocks the calling thread until the response is complete, a time-out ends
// it or options.cancel is cancelled. Any thread may call it; calls share no
// state unless they share a RequestObject.
#pragma once

#include <mutex>
#include <string>

#include "web/fetch_options.h"

namespace zv::web {

// Stands in for the caller-owned request object: the settings a fetch makes on
// it (time-outs, proxy, proxy credentials, options 4 and 6) stay on it.
// Thread-safe.
class RequestObject {
 public:
  struct Settings {
    bool timeoutsSet = false;
    int resolveTimeoutMs = 0, connectTimeoutMs = 0, sendTimeoutMs = 0, receiveTimeoutMs = 0;
    Text proxy;
    Text proxyUser, proxyPassword;
    int proxyCredentialsFlag = 0;
    int sslErrorIgnoreFlags = 0;  // Option(4)
    bool enableRedirects = true;  // Option(6)
  };
  Settings Get() const;
  void Set(const Settings& settings);

 private:
  mutable std::mutex mutex_;
  Settings settings_;
};

// The response body, or empty bytes when the request failed.
Bytes ComHttpFetch(const Text& url, FetchOptions& options);
inline Bytes ComHttpFetch(const Text& url) {
  FetchOptions options;
  return ComHttpFetch(url, options);
}

// Why the calling thread's last fetch failed (a curl message), empty after a
// success; for --verbose and for tests.
const std::string& LastFetchError();

}  // namespace zv::web
