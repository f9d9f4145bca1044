#include "demo-site/demo_site.h"

#include <httplib.h>
#include <sys/socket.h>

#include <charconv>
#include <chrono>
#include <optional>

#include "demo-site/demo_pages.h"

namespace zv::demo {

namespace {

// Enough serving threads for every worker of a harvest plus its search and
// QR downloads, each held for the whole of a keep-alive connection.
constexpr std::size_t kServingThreads = 64;
constexpr std::size_t kRequestsPerConnection = 10000;

constexpr const char* kHtml = "text/html; charset=utf-8";

// The library's default also sets SO_REUSEPORT, which would let a second site
// share a port in use instead of failing to start.
void ReuseAddressOnly(socket_t socket) {
  const int yes = 1;
  setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
}

// httplib listens with a backlog of 5; twenty workers connecting at once
// would see SYNs dropped, and each drop costs the client a second.
class WideBacklogServer : public httplib::Server {
 public:
  void WidenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

// Counts a request as being served for its lifetime and keeps the peak.
class ServingCount {
 public:
  ServingCount(std::atomic<int>& active, std::atomic<int>& peak) : active_(active) {
    const int now = ++active_;
    int seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
  }
  ~ServingCount() { --active_; }
  ServingCount(const ServingCount&) = delete;
  ServingCount& operator=(const ServingCount&) = delete;

 private:
  std::atomic<int>& active_;
};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// The id of a /detail/<id>.html or /qr/<id>.gif request, from its route.
std::optional<std::uint64_t> RequestedId(const httplib::Request& request) {
  return ParseNumber<std::uint64_t>(request.matches[1].str());
}

SearchQuery QueryOf(const httplib::Request& request) {
  SearchQuery query;
  query.keyword = request.get_param_value("q");
  query.pageIndex = ParseNumber<int>(request.get_param_value("p")).value_or(0);
  query.sti = request.get_param_value("sti");
  return query;
}

void AnswerError(httplib::Response& response, int status) {
  response.status = status;
  response.set_content(ErrorPage(status), kHtml);
}

}  // namespace

DemoSite::DemoSite(DemoSiteOptions options) : options_(std::move(options)) {}

DemoSite::~DemoSite() { Stop(); }

bool DemoSite::Start() {
  if (server_) return false;
  auto server = std::make_unique<WideBacklogServer>();
  server->new_task_queue = [] { return new httplib::ThreadPool(kServingThreads); };
  server->set_keep_alive_max_count(kRequestsPerConnection);
  // Stop waits for idle keep-alive connections to time out: keep that short.
  server->set_keep_alive_timeout(1);
  server->set_socket_options(ReuseAddressOnly);
  // Headers and body go out in separate writes; without this, Nagle's rule
  // and the client's delayed ACK hold every kept-alive response back ~40 ms.
  server->set_tcp_nodelay(true);
  server->Get("/cse/search",
              [this](const auto& request, auto& response) { ServeSearch(request, response); });
  server->Get(R"(/detail/(\d+)\.html)",
              [this](const auto& request, auto& response) { ServeDetail(request, response); });
  server->Get(R"(/qr/(\d+)\.gif)",
              [this](const auto& request, auto& response) { ServeQrImage(request, response); });
  server->set_error_handler([](const auto&, httplib::Response& response) {
    if (response.body.empty()) AnswerError(response, response.status);
  });

  const int port = options_.port == 0 ? server->bind_to_any_port(options_.host)
                   : server->bind_to_port(options_.host, options_.port) ? options_.port
                                                                        : -1;
  if (port <= 0) return false;
  server->WidenBacklog();
  port_ = port;
  server_ = std::move(server);
  serving_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
  // Stop only takes effect once the accept loop runs.
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return true;
}

void DemoSite::Stop() {
  if (!server_) return;
  server_->stop();
  serving_.join();
  server_.reset();
}

std::string DemoSite::BaseUrl() const {
  return "http://" + options_.host + ":" + std::to_string(port_);
}

void DemoSite::ResetStats() {
  searchRequests_ = 0;
  detailRequests_ = 0;
  qrRequests_ = 0;
  peakDetails_ = activeDetails_.load();
}

void DemoSite::ServeSearch(const httplib::Request& request, httplib::Response& response) {
  ++searchRequests_;
  Delay();
  const SearchQuery query = QueryOf(request);
  const ListingShape shape{options_.entriesPerPage, options_.pagesPerKeyword};
  response.set_content(
      SearchResultPage(query, ListEntries(query, shape), TotalEntries(shape), Authority(request)),
      kHtml);
}

void DemoSite::ServeDetail(const httplib::Request& request, httplib::Response& response) {
  ++detailRequests_;
  const ServingCount serving(activeDetails_, peakDetails_);
  Delay();
  const std::optional<std::uint64_t> id = RequestedId(request);
  if (!id) return AnswerError(response, 404);
  if (IsFailingEntry(*id, options_.failRate)) return AnswerError(response, 500);
  if (IsRemovedEntry(*id)) return response.set_content(RemovedEntryPage(*id), kHtml);
  const std::string qrUrl = "http://img2.localhost:" + std::to_string(port_) + QrImagePath(*id);
  response.set_content(DetailPage(*id, DetailOf(*id), qrUrl), kHtml);
}

void DemoSite::ServeQrImage(const httplib::Request& request, httplib::Response& response) {
  ++qrRequests_;
  Delay();
  const std::optional<std::uint64_t> id = RequestedId(request);
  if (!id) return AnswerError(response, 404);
  response.set_content(EncodeGif(QrBitmap(*id), "QR " + std::to_string(*id)), "image/gif");
}

void DemoSite::Delay() const {
  if (options_.latencyMs > 0)
    std::this_thread::sleep_for(std::chrono::milliseconds(options_.latencyMs));
}

std::string DemoSite::Authority(const httplib::Request& request) const {
  const std::string host = request.get_header_value("Host");
  return host.empty() ? options_.host + ":" + std::to_string(port_) : host;
}

}  // namespace zv::demo
