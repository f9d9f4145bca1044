// CurlTransfer: the one HTTP(S) exchange both page fetches are made of.
//
// A TransferRequest says what to send and how; PerformTransfer runs it on
// libcurl and reports what came back. What calls share lives here: curl is
// initialised once, DNS results and TLS sessions are shared between all
// threads, connections are kept open in a pool of multi handles (each used by
// one thread at a time) so that later calls reuse them, and the process
// cookie store serves every request that asks for it. PerformTransfer is safe
// to call from any number of threads at once.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "web/fetch_options.h"

namespace zv::web {

enum class Verb { Get, Post, Head };

// The verb `method` selects: 0 GET, 1 POST, 2 HEAD; any other value GET.
Verb VerbOf(const std::optional<int>& method);

// The name and value of every line of a header block, in order: the block is
// split at "\r\n", lines without a name are skipped.
std::vector<std::pair<Text, Text>> HeaderFieldsOf(const Text& block);

struct Credentials {
  Text user;
  Text password;
};

struct TransferRequest {
  std::string url;  // absolute http or https URL, percent-encoded
  Verb verb = Verb::Get;
  std::vector<std::pair<Text, Text>> headers;  // sent in this order
  Text userAgent;                              // empty: no User-Agent of curl's own
  Bytes body;                                  // sent with a POST only
  Text proxy;                                  // empty: a direct connection
  std::optional<Credentials> proxyCredentials;
  std::optional<Credentials> serverCredentials;
  bool followRedirects = true;
  const char* redirectProtocols = "http,https";
  bool verifyPeer = true;
  bool verifyHost = true;
  long connectTimeoutMs = 15000;  // name resolution and connect together
  long stallSeconds = 30;         // a transfer that moves no byte this long ends
  bool useCookieStore = false;    // the process cookie store sends and keeps cookies
  const CancelToken* cancel = nullptr;
};

struct TransferResult {
  bool completed = false;  // the whole response arrived
  Bytes body;              // what arrived of it; empty after a cancellation or a refused body
  Text rawHeaders;         // the last response's header lines as received, CR LF ended
  int statusCode = 0;
};

// Runs one request to its end, a failure, a time-out or a cancellation (of
// request.cancel or ProcessShutdownToken(), noticed within 50 ms). A body over
// 64 MiB ends the transfer as a failure. On failure LastFetchError() tells why.
TransferResult PerformTransfer(const TransferRequest& request);

// The URL as libcurl takes it: spaces and bytes outside ASCII percent-encoded.
// Empty when it is no URL curl can parse.
std::string NormalisedUrl(const Text& url);

// The http or https URL of this host, port and path (query included), encoded
// as NormalisedUrl does; empty when the host or the port is not valid.
std::string UrlOfParts(bool secure, const Text& host, int port, const Text& path);

}  // namespace zv::web
