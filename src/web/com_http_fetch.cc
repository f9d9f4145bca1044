#include "web/com_http_fetch.h"

#include <algorithm>

#include "web/curl_transfer.h"
#include "web/headers.h"

namespace zv::web {
namespace {

// What a request object does before any fetch sets its time-outs.
constexpr int kObjectConnectTimeoutMs = 60000;
constexpr int kObjectTransferTimeoutMs = 30000;
constexpr int kDefaultTimeoutMs = 15000;

// The certificate errors Option(4) may name as ignored.
constexpr int kIgnoreUnknownAuthority = 0x0100;
constexpr int kIgnoreWrongUsage = 0x0200;
constexpr int kIgnoreHostMismatch = 0x1000;
constexpr int kIgnoreDateInvalid = 0x2000;
constexpr int kIgnoredCertificateErrors =
    kIgnoreUnknownAuthority | kIgnoreWrongUsage | kIgnoreHostMismatch | kIgnoreDateInvalid;
constexpr int kChainErrors = kIgnoreUnknownAuthority | kIgnoreWrongUsage | kIgnoreDateInvalid;

constexpr int kCredentialsForServer = 0;
constexpr int kCredentialsForProxy = 1;

void SetTimeouts(RequestObject::Settings& settings, int timeoutMs) {
  settings.timeoutsSet = true;
  settings.resolveTimeoutMs = settings.connectTimeoutMs = timeoutMs;
  settings.sendTimeoutMs = settings.receiveTimeoutMs = timeoutMs;
}

// Steps 4 to 8 of a fetch: what it writes on the request object.
void ApplyOptions(RequestObject::Settings& settings, const FetchOptions& options) {
  const int timeoutSeconds = options.timeoutSeconds.value_or(0);
  if (timeoutSeconds != -1)
    SetTimeouts(settings, timeoutSeconds < 1 ? kDefaultTimeoutMs : timeoutSeconds * 1000);
  const Text proxy = options.proxy.value_or("");
  if (!proxy.empty()) {
    settings.proxy = proxy;
    const Text proxyUser = options.proxyUser.value_or("");
    if (!proxyUser.empty()) {
      settings.proxyUser = proxyUser;
      settings.proxyPassword = options.proxyPassword.value_or("");
      settings.proxyCredentialsFlag = options.proxyCredentialsFlag.value_or(kCredentialsForProxy);
    }
  }
  if (options.noRedirect.value_or(false)) settings.enableRedirects = false;
  settings.sslErrorIgnoreFlags = kIgnoredCertificateErrors;
}

void ApplySettings(TransferRequest& request, const RequestObject::Settings& settings) {
  if (settings.timeoutsSet) {
    request.connectTimeoutMs = settings.resolveTimeoutMs + settings.connectTimeoutMs;
    request.stallSeconds =
        (std::max(settings.sendTimeoutMs, settings.receiveTimeoutMs) + 999) / 1000;
  } else {
    request.connectTimeoutMs = kObjectConnectTimeoutMs;
    request.stallSeconds = kObjectTransferTimeoutMs / 1000;
  }
  request.proxy = settings.proxy;
  if (!settings.proxyUser.empty()) {
    const Credentials credentials{settings.proxyUser, settings.proxyPassword};
    if (settings.proxyCredentialsFlag == kCredentialsForProxy)
      request.proxyCredentials = credentials;
    if (settings.proxyCredentialsFlag == kCredentialsForServer)
      request.serverCredentials = credentials;
  }
  request.followRedirects = settings.enableRedirects;
  request.verifyPeer = (settings.sslErrorIgnoreFlags & kChainErrors) != kChainErrors;
  request.verifyHost = (settings.sslErrorIgnoreFlags & kIgnoreHostMismatch) == 0;
}

// The Cookie field first, then every field of the completed block.
std::vector<std::pair<Text, Text>> RequestFields(const Text& cookies, const Text& block) {
  std::vector<std::pair<Text, Text>> fields;
  if (!cookies.empty()) fields.emplace_back("Cookie", cookies);
  for (auto& field : HeaderFieldsOf(block)) fields.push_back(std::move(field));
  return fields;
}

Bytes BodyOf(const FetchOptions& options) {
  if (options.postBytes && !options.postBytes->empty()) return *options.postBytes;
  return text::TextToBytes(options.postText.value_or(""));
}

}  // namespace

RequestObject::Settings RequestObject::Get() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

void RequestObject::Set(const Settings& settings) {
  std::lock_guard lock(mutex_);
  settings_ = settings;
}

Bytes ComHttpFetch(const Text& url, FetchOptions& options) {
  RequestObject::Settings settings =
      options.requestObject ? options.requestObject->Get() : RequestObject::Settings{};
  ApplyOptions(settings, options);
  if (options.requestObject) options.requestObject->Set(settings);

  Text block = options.requestHeaders.value_or("");
  ComposeRequestHeaders(block, url, true);
  options.requestHeaders = block;
  Text cookies = options.cookies.value_or("");

  TransferRequest request;
  request.url = NormalisedUrl(url);
  request.verb = VerbOf(options.method);
  request.headers = RequestFields(cookies, block);
  request.body = BodyOf(options);
  request.cancel = options.cancel;
  ApplySettings(request, settings);
  TransferResult result = PerformTransfer(request);
  if (!result.completed) result = TransferResult{};

  options.responseHeaders = result.rawHeaders;
  options.statusCode = result.statusCode;
  options.returnedCookies = CollectSetCookies(options.responseHeaders);
  MergeCookies(cookies, options.returnedCookies);
  options.cookies = cookies;
  return std::move(result.body);
}

}  // namespace zv::web
