// FetchOptions: the optional inputs and outputs of both page fetches.
//
// Every input knows whether the caller gave it (std::optional); a field left
// out reads as the default noted beside it. Outputs are written by the fetch
// as its description says. A FetchOptions is used by one thread at a time.
#pragma once

#include <memory>
#include <optional>

#include "text/text.h"

namespace zv::web {

using text::Bytes;
using text::Text;

class RequestObject;
class CancelToken;

struct FetchOptions {
  std::optional<int> method;             // in: 0 GET, 1 POST, 2 HEAD; other values GET
  std::optional<Text> postText;          // in
  std::optional<Text> cookies;           // in/out: cookie string
  Text returnedCookies;                  // out: the cookies this response sets
  std::optional<Text> requestHeaders;    // in/out: header block, left completed
  Text responseHeaders;                  // out: raw response headers, CR LF lines
  int statusCode = 0;                    // out (ComHttpFetch only)
  std::optional<bool> noRedirect;        // in: false
  std::optional<Bytes> postBytes;        // in (ComHttpFetch), in/out (InetHttpFetch)
  std::optional<Text> proxy;             // in: empty means no proxy
  std::optional<int> timeoutSeconds;     // in: 0 (ComHttpFetch only)
  std::optional<Text> proxyUser;         // in (ComHttpFetch only)
  std::optional<Text> proxyPassword;     // in (ComHttpFetch only)
  std::optional<int> proxyCredentialsFlag;  // in: 1 (ComHttpFetch only)
  std::shared_ptr<RequestObject> requestObject;  // in: none (ComHttpFetch only)

  // Not part of the request: lets another thread abort the transfer in flight.
  const CancelToken* cancel = nullptr;
};

}  // namespace zv::web
