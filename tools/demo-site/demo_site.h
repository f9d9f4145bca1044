// DemoSite: a local directory site for harvests to run against. It serves
//   GET /cse/search?q=&p=&s=&sti=&nsid=&entry=   result pages (see demo_pages.h)
//   GET /detail/<id>.html                        detail pages, removed-entry
//                                                pages, or 500 for failing ids
//   GET /qr/<id>.gif                             the entry's QR picture
// with content that follows from the request alone (see demo_content.h).
// Detail pages name their QR picture at "http://img2.localhost:<port>", a
// name that resolves to the loopback address.
//
// Thread rule: Start, Stop and the destructor are called by one owning thread;
// the statistics may be read from any thread while the site runs.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "demo-site/demo_content.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace zv::demo {

// The address the window and the command line harvest by default.
inline constexpr int kDefaultDemoSitePort = 8731;
inline constexpr const char* kDefaultDemoSiteUrl = "http://127.0.0.1:8731";

struct DemoSiteOptions {
  std::string host = "127.0.0.1";
  int port = 0;       // 0 picks a free port
  int latencyMs = 0;  // added to every request, in its handler
  int entriesPerPage = 20;
  double failRate = 0;       // the share of detail requests answered with 500
  int pagesPerKeyword = 50;  // pages with results; later pages list nothing
};

class DemoSite {
 public:
  explicit DemoSite(DemoSiteOptions options = {});
  ~DemoSite();
  DemoSite(const DemoSite&) = delete;
  DemoSite& operator=(const DemoSite&) = delete;

  // Binds and serves on a background thread; returns once connections are
  // accepted. False when the address cannot be bound or the site already runs.
  bool Start();
  // Stops serving and waits for the requests in progress. Idempotent.
  void Stop();

  // The bound port (valid after a successful Start), and "http://host:port".
  int Port() const { return port_; }
  std::string BaseUrl() const;

  // Requests served since Start or the last ResetStats.
  int SearchRequests() const { return searchRequests_; }
  int DetailRequests() const { return detailRequests_; }
  int QrRequests() const { return qrRequests_; }
  // The most detail requests that were being served at the same moment.
  int PeakConcurrentDetails() const { return peakDetails_; }
  void ResetStats();

 private:
  // Each runs on a serving thread, many at once.
  void ServeSearch(const httplib::Request& request, httplib::Response& response);
  void ServeDetail(const httplib::Request& request, httplib::Response& response);
  void ServeQrImage(const httplib::Request& request, httplib::Response& response);
  void Delay() const;
  // Host and port as the client addressed the site.
  std::string Authority(const httplib::Request& request) const;

  DemoSiteOptions options_;
  std::unique_ptr<httplib::Server> server_;
  std::thread serving_;
  int port_ = 0;

  std::atomic<int> searchRequests_{0};
  std::atomic<int> detailRequests_{0};
  std::atomic<int> qrRequests_{0};
  std::atomic<int> activeDetails_{0};
  std::atomic<int> peakDetails_{0};
};

}  // namespace zv::demo
