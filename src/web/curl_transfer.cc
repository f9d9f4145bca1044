#include "web/curl_transfer.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>
#include <string_view>

#include "web/cancel_token.h"
#include "web/com_http_fetch.h"
#include "web/headers.h"

namespace zv::web {
namespace {

constexpr std::size_t kMaxBodyBytes = 64u << 20;
constexpr std::size_t kMaxHeaderBytes = 1u << 20;
constexpr long kMaxRedirects = 10;
constexpr int kPollSliceMs = 50;

thread_local std::string lastFetchError;

void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A share handle for DNS results and TLS sessions, and optionally the cookie
// store, with one mutex per kind of shared data as libcurl asks.
class ShareHandle {
 public:
  explicit ShareHandle(bool withCookies) : handle_(curl_share_init()) {
    curl_share_setopt(handle_, CURLSHOPT_LOCKFUNC, &ShareHandle::Lock);
    curl_share_setopt(handle_, CURLSHOPT_UNLOCKFUNC, &ShareHandle::Unlock);
    curl_share_setopt(handle_, CURLSHOPT_USERDATA, this);
    curl_share_setopt(handle_, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(handle_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    if (withCookies) curl_share_setopt(handle_, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
  }
  ShareHandle(const ShareHandle&) = delete;
  ShareHandle& operator=(const ShareHandle&) = delete;

  CURLSH* get() const { return handle_; }

 private:
  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<ShareHandle*>(self)->mutexes_[data].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<ShareHandle*>(self)->mutexes_[data].unlock();
  }

  CURLSH* handle_;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> mutexes_;
};

// Both live until the process ends: transfers on other threads may still use
// them while static objects are destroyed.
ShareHandle& CookieStoreShare() {
  static ShareHandle* share = new ShareHandle(true);
  return *share;
}
ShareHandle& PlainShare() {
  static ShareHandle* share = new ShareHandle(false);
  return *share;
}

// Multi handles with their caches of open connections. A transfer borrows one
// for its whole run, so each is used by one thread at a time; idle ones are
// kept, most recently used first, so connections outlive the calls and the
// threads that opened them. Thread-safe.
class MultiPool {
 public:
  CURLM* Borrow() {
    {
      std::lock_guard lock(mutex_);
      if (!idle_.empty()) {
        CURLM* multi = idle_.back();
        idle_.pop_back();
        return multi;
      }
    }
    return curl_multi_init();
  }
  void Return(CURLM* multi) {
    std::lock_guard lock(mutex_);
    idle_.push_back(multi);
  }

 private:
  std::mutex mutex_;
  std::vector<CURLM*> idle_;  // guarded by mutex_
};

MultiPool& Multis() {
  static MultiPool* pool = new MultiPool;
  return *pool;
}

class BorrowedMulti {
 public:
  BorrowedMulti() : multi_(Multis().Borrow()) {}
  ~BorrowedMulti() {
    if (multi_) Multis().Return(multi_);
  }
  BorrowedMulti(const BorrowedMulti&) = delete;
  BorrowedMulti& operator=(const BorrowedMulti&) = delete;
  CURLM* get() const { return multi_; }

 private:
  CURLM* multi_;
};

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct HeaderListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// What the callbacks collect while the transfer runs.
struct Received {
  Bytes body;
  Text rawHeaders;
  const char* overLimit = nullptr;  // why a callback ended the transfer
};

std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  const std::string_view line(data, size * count);
  if (line.starts_with("HTTP/")) received.rawHeaders.clear();  // a new response begins
  if (received.rawHeaders.size() + line.size() > kMaxHeaderBytes) {
    received.overLimit = "response headers exceed 1 MiB";
    return 0;
  }
  received.rawHeaders += line;
  return line.size();
}

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto& received = *static_cast<Received*>(user);
  const std::size_t length = size * count;
  if (received.body.size() + length > kMaxBodyBytes) {
    received.overLimit = "response body exceeds 64 MiB";
    return 0;
  }
  received.body.insert(received.body.end(), data, data + length);
  return length;
}

bool HasHeader(const TransferRequest& request, std::string_view name) {
  for (const auto& [fieldName, value] : request.headers) {
    if (text::ToLowerAscii(fieldName) == text::ToLowerAscii(name)) return true;
  }
  return false;
}

bool HoldsLineBreak(std::string_view part) {
  return part.find_first_of("\r\n") != std::string_view::npos;
}

// The request's header fields as curl lines. A field with a line break in it
// is left out, so no caller text can start a header of its own; "Expect:"
// keeps curl from waiting for "100 Continue" before a large body.
HeaderList HeaderLinesOf(const TransferRequest& request) {
  curl_slist* list = nullptr;
  auto append = [&list](const std::string& line) {
    if (curl_slist* longer = curl_slist_append(list, line.c_str())) list = longer;
  };
  for (const auto& [name, value] : request.headers) {
    if (HoldsLineBreak(name) || HoldsLineBreak(value)) continue;
    append(value.empty() ? name + ";" : name + ": " + value);  // "Name;" sends an empty value
  }
  if (!HasHeader(request, "Expect")) append("Expect:");
  return HeaderList(list);
}

// Only a POST carries a body: a server that reads none after a GET or HEAD
// would take its bytes for the next request on the connection.
void SetVerbAndBody(CURL* easy, const TransferRequest& request) {
  switch (request.verb) {
    case Verb::Get:
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
      return;
    case Verb::Head:
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
      return;
    case Verb::Post: {
      static const char kNoBytes[] = "";
      const char* bytes =
          request.body.empty() ? kNoBytes : reinterpret_cast<const char*>(request.body.data());
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(request.body.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, bytes);
      return;
    }
  }
}

void SetCredentials(CURL* easy, const TransferRequest& request) {
  if (request.proxyCredentials) {
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, request.proxyCredentials->user.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, request.proxyCredentials->password.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
  }
  if (request.serverCredentials) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.serverCredentials->user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.serverCredentials->password.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
  }
}

void Configure(CURL* easy, const TransferRequest& request, curl_slist* headers, Received& received,
               char* errorBuffer) {
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, request.redirectProtocols);
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
  if (!request.userAgent.empty())
    curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
  // Set even when empty, so proxy variables of the environment play no part.
  curl_easy_setopt(easy, CURLOPT_PROXY, request.proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  SetCredentials(easy, request);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, request.verifyPeer ? 1L : 0L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, request.verifyHost ? 2L : 0L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, request.stallSeconds);
  curl_easy_setopt(easy, CURLOPT_SHARE,
                   (request.useCookieStore ? CookieStoreShare() : PlainShare()).get());
  if (request.useCookieStore) curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
  SetVerbAndBody(easy, request);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &received);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
}

bool IsCancelled(const CancelToken* cancel) {
  return ProcessShutdownToken().IsCancelled() || (cancel && cancel->IsCancelled());
}

struct Outcome {
  CURLcode code = CURLE_OK;
  bool cancelled = false;
};

// Drives the one transfer on `multi` in slices of at most 50 ms, looking at
// the tokens between slices.
Outcome Drive(CURLM* multi, CURL* easy, const CancelToken* cancel) {
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi, &running) != CURLM_OK) return {CURLE_FAILED_INIT, false};
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
        return {message->data.result, false};
    }
    if (IsCancelled(cancel)) return {CURLE_ABORTED_BY_CALLBACK, true};
    curl_multi_poll(multi, nullptr, 0, kPollSliceMs, nullptr);
  }
}

Outcome Run(CURL* easy, const CancelToken* cancel) {
  BorrowedMulti multi;
  if (!multi.get() || curl_multi_add_handle(multi.get(), easy) != CURLM_OK)
    return {CURLE_FAILED_INIT, false};
  const Outcome outcome = Drive(multi.get(), easy, cancel);
  curl_multi_remove_handle(multi.get(), easy);  // an unfinished transfer closes its connection
  return outcome;
}

std::string FailureText(const Outcome& outcome, const Received& received, const char* errorBuffer) {
  if (outcome.cancelled) return "cancelled";
  if (received.overLimit) return received.overLimit;
  if (errorBuffer[0] != '\0') return errorBuffer;
  return curl_easy_strerror(outcome.code);
}

std::string UrlText(CURLU* url) {
  char* joined = nullptr;
  if (curl_url_get(url, CURLUPART_URL, &joined, 0) != CURLUE_OK) return {};
  std::string result(joined);
  curl_free(joined);
  return result;
}

constexpr unsigned kEncodeOnEntry = CURLU_ALLOW_SPACE | CURLU_URLENCODE;

}  // namespace

const std::string& LastFetchError() { return lastFetchError; }

Verb VerbOf(const std::optional<int>& method) {
  switch (method.value_or(0)) {
    case 1:
      return Verb::Post;
    case 2:
      return Verb::Head;
    default:
      return Verb::Get;
  }
}

std::vector<std::pair<Text, Text>> HeaderFieldsOf(const Text& block) {
  std::vector<std::pair<Text, Text>> fields;
  for (const Text& line : text::Split(block, "\r\n")) {
    auto field = SplitHeaderLine(line);
    if (!field.first.empty()) fields.push_back(std::move(field));
  }
  return fields;
}

TransferResult PerformTransfer(const TransferRequest& request) {
  EnsureCurlInitialised();
  lastFetchError.clear();
  TransferResult result;
  EasyHandle easy(curl_easy_init());
  if (!easy) {
    lastFetchError = "no curl handle";
    return result;
  }
  Received received;
  char errorBuffer[CURL_ERROR_SIZE] = {};
  const HeaderList headers = HeaderLinesOf(request);
  Configure(easy.get(), request, headers.get(), received, errorBuffer);

  const Outcome outcome = Run(easy.get(), request.cancel);
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  result.completed = outcome.code == CURLE_OK;
  result.statusCode = static_cast<int>(status);
  // A cancelled or refused body is no part of a page: none of it is kept.
  if (!outcome.cancelled && !received.overLimit) result.body = std::move(received.body);
  result.rawHeaders = std::move(received.rawHeaders);
  if (!result.completed) lastFetchError = FailureText(outcome, received, errorBuffer);
  return result;
}

std::string NormalisedUrl(const Text& url) {
  const UrlHandle handle(curl_url());
  if (!handle ||
      curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), kEncodeOnEntry) != CURLUE_OK)
    return {};
  return UrlText(handle.get());
}

std::string UrlOfParts(bool secure, const Text& host, int port, const Text& path) {
  const UrlHandle handle(curl_url());
  if (!handle) return {};
  // The host goes in on its own, after the path, so curl checks it as a host
  // name and no byte of it can pass for a path or a query.
  const std::string withoutHost = std::string(secure ? "https" : "http") + "://host.invalid" + path;
  const std::string portText = std::to_string(port);
  if (curl_url_set(handle.get(), CURLUPART_URL, withoutHost.c_str(), kEncodeOnEntry) != CURLUE_OK ||
      curl_url_set(handle.get(), CURLUPART_HOST, host.c_str(), 0) != CURLUE_OK ||
      curl_url_set(handle.get(), CURLUPART_PORT, portText.c_str(), 0) != CURLUE_OK) {
    return {};
  }
  return UrlText(handle.get());
}

}  // namespace zv::web
