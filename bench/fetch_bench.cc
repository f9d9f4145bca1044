// Page fetches against a keep-alive server on 127.0.0.1: requests per second
// and the TCP connections the server saw, for InetHttpFetch (connections
// reused across calls) and for a baseline that opens one per call.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "web/inet_http_fetch.h"

namespace {

constexpr int kCalls = 1000;
constexpr int kThreads = 20;
constexpr int kServerThreads = 32;

// httplib listens with a backlog of 5: connects beyond it lose their SYN and
// retry a second later, which would time the kernel rather than the fetch.
class WideBacklogServer : public httplib::Server {
 public:
  int BindToFreePort() {
    const int port = bind_to_any_port("127.0.0.1");
    if (port > 0) ::listen(svr_sock_, SOMAXCONN);
    return port;
  }
};

// Serves a small page on an ephemeral port and counts the client ports it
// was reached from, one per TCP connection.
class PageServer {
 public:
  PageServer() {
    server_.new_task_queue = [] { return new httplib::ThreadPool(kServerThreads); };
    server_.set_keep_alive_max_count(100000);
    server_.set_tcp_nodelay(true);
    server_.Get("/page", [this](const httplib::Request& request, httplib::Response& response) {
      {
        std::lock_guard lock(mutex_);
        ports_.insert(request.remote_port);
      }
      response.set_content(std::string(2048, 'p'), "text/html");
    });
    port_ = server_.BindToFreePort();
    listener_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~PageServer() {
    server_.stop();
    listener_.join();
  }

  std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/page"; }
  double Connections() {
    std::lock_guard lock(mutex_);
    return static_cast<double>(ports_.size());
  }

 private:
  WideBacklogServer server_;
  std::thread listener_;
  int port_ = 0;
  std::mutex mutex_;
  std::set<int> ports_;
};

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// The baseline: a fresh easy handle, and so a fresh connection, per call.
bool FetchOnFreshConnection(const std::string& url) {
  CURL* easy = curl_easy_init();
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Discard);
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
  const bool ok = curl_easy_perform(easy) == CURLE_OK;
  curl_easy_cleanup(easy);
  return ok;
}

bool FetchThroughInet(const std::string& url) { return !zv::web::InetHttpFetch(url).empty(); }

using FetchOne = bool (*)(const std::string&);

void RunCalls(FetchOne fetch, const std::string& url, int calls, std::atomic<int>& failures) {
  for (int i = 0; i < calls; ++i) {
    if (!fetch(url)) ++failures;
  }
}

void Report(benchmark::State& state, PageServer& server, const std::atomic<int>& failures) {
  if (failures > 0) state.SkipWithError("a fetch failed");
  state.counters["requests/s"] = benchmark::Counter(
      static_cast<double>(kCalls) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["connections"] = server.Connections();
}

template <FetchOne fetch>
void BM_Sequential(benchmark::State& state) {
  PageServer server;
  std::atomic<int> failures = 0;
  for (auto _ : state) RunCalls(fetch, server.Url(), kCalls, failures);
  Report(state, server, failures);
}

template <FetchOne fetch>
void BM_TwentyThreads(benchmark::State& state) {
  PageServer server;
  std::atomic<int> failures = 0;
  for (auto _ : state) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&] { RunCalls(fetch, server.Url(), kCalls / kThreads, failures); });
    }
    for (std::thread& thread : threads) thread.join();
  }
  Report(state, server, failures);
}

BENCHMARK(BM_Sequential<FetchThroughInet>)
    ->Name("InetHttpFetch/sequential")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_Sequential<FetchOnFreshConnection>)
    ->Name("FreshConnection/sequential")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_TwentyThreads<FetchThroughInet>)
    ->Name("InetHttpFetch/20threads")
    ->Iterations(1)
    ->UseRealTime();
BENCHMARK(BM_TwentyThreads<FetchOnFreshConnection>)
    ->Name("FreshConnection/20threads")
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
