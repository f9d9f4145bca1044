#include "web/inet_http_fetch.h"

#include "web/curl_transfer.h"
#include "web/headers.h"
#include "web/url_parts.h"

namespace zv::web {
namespace {

constexpr long kConnectTimeoutMs = 15000;
constexpr long kStallSeconds = 30;
// The raw headers are read into a buffer of this many bytes, one kept for the
// terminator; when they do not fit, or nothing is read, the buffer's blank
// filling is what the caller gets.
constexpr std::size_t kHeaderBufferBytes = 5000;

bool IsSecure(const Text& url) { return text::ToLowerAscii(text::Left(url, 5)) == "https"; }

// The agent the session announces, from the caller's block before completion.
Text UserAgentOf(const Text& block) {
  if (!text::Contains(block, "User-Agent:", true)) return kDefaultUserAgent;
  Text agent = text::TrimSpaces(text::TextBetween(block, "User-Agent:", "\r\n"));
  if (agent.empty()) agent = SplitHeaderLine(block).second;
  return agent;
}

Text ResponseHeadersOf(const Text& rawHeaders) {
  if (rawHeaders.empty() || rawHeaders.size() >= kHeaderBufferBytes)
    return Text(kHeaderBufferBytes, ' ');
  return rawHeaders;
}

// How the request flags are honoured by the transfer.
void ApplyFlags(TransferRequest& request, std::uint32_t flags) {
  request.useCookieStore = (flags & kFlagNoCookies) == 0;
  request.followRedirects = (flags & kFlagNoAutoRedirect) == 0;
  if (flags & kFlagSecure) {
    request.redirectProtocols = "https";  // a secure request is never redirected to plain http
  } else if (flags & kFlagIgnoreRedirectToHttps) {
    request.redirectProtocols = "http,https";
  } else {
    request.redirectProtocols = "http";
  }
}

}  // namespace

std::uint32_t InetRequestFlags(const Text& url, const FetchOptions& options) {
  std::uint32_t flags = kFlagReload | kFlagNeedFile;
  if (options.cookies) flags |= kFlagNoCookies;
  if (options.noRedirect.value_or(false)) flags |= kFlagNoAutoRedirect;
  flags |= IsSecure(url) ? kFlagSecure : kFlagIgnoreRedirectToHttps;
  return flags;
}

Bytes InetHttpFetch(const Text& url, FetchOptions& options) {
  const std::uint32_t flags = InetRequestFlags(url, options);
  TransferRequest request;
  request.url =
      UrlOfParts((flags & kFlagSecure) != 0, UrlHost(url, false), UrlPort(url), UrlPath(url));
  if (request.url.empty()) return {};  // no request can be opened for it
  request.verb = VerbOf(options.method);
  request.userAgent = UserAgentOf(options.requestHeaders.value_or(""));
  request.proxy = options.proxy.value_or("");
  request.connectTimeoutMs = kConnectTimeoutMs;
  request.stallSeconds = kStallSeconds;
  request.cancel = options.cancel;
  ApplyFlags(request, flags);

  Text block = options.requestHeaders.value_or("");
  ComposeRequestHeaders(block, url, false);
  const Text cookies = options.cookies.value_or("");
  if (!cookies.empty()) block += "\r\nCookie: " + cookies;
  options.requestHeaders = block;
  request.headers = HeaderFieldsOf(block);

  if (request.verb != Verb::Get) {
    if (!options.postBytes || options.postBytes->empty())
      options.postBytes = text::TextToBytes(options.postText.value_or(""));
    request.body = *options.postBytes;
  }

  TransferResult result = PerformTransfer(request);
  options.responseHeaders = ResponseHeadersOf(result.rawHeaders);
  options.returnedCookies = CollectSetCookies(options.responseHeaders);
  if (options.cookies) MergeCookies(*options.cookies, options.returnedCookies);
  return std::move(result.body);
}

}  // namespace zv::web
