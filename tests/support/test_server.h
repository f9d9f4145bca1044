// TestServer: an HTTP or HTTPS server on 127.0.0.1, on a port of its own
// choosing, that answers from a route table and records every request.
//
// Routes match the request path exactly (query left out) for every method;
// a path without a route gets 404. Besides ordinary replies (status, header
// lines, body, an optional delay) a plain-HTTP server can write raw bytes
// straight to the socket, drip them, then close, reset or stall the
// connection: the faults an HTTP library would never produce. Over plain HTTP
// the recorded header lines are the bytes received, in order; over HTTPS they
// come in the order of their names.
//
// Routes may be set before or while requests arrive. Every member is
// thread-safe. The destructor ends delays and stalls at once and waits for
// the handlers to return.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace zv::testing {

struct RecordedRequest {
  std::string method;
  std::string target;                    // path and query, as sent
  std::vector<std::string> headerLines;  // "Name: value", as sent
  std::string body;
  int remotePort = 0;

  // The value of the first header of this name in any letter case, or "".
  std::string Header(std::string_view name) const;
  bool HasHeader(std::string_view name) const;
};

struct Reply {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::chrono::milliseconds delay{0};  // waited before answering
};

// A 302 (or `status`) reply pointing at `location`.
Reply RedirectTo(std::string location, int status = 302);

// Bytes written as they are, piece by piece, each after its pause.
struct RawReply {
  struct Piece {
    std::string bytes;
    std::chrono::milliseconds pauseBefore{0};
  };
  enum class End { Close, Reset, Stall };

  std::vector<Piece> pieces;
  End end = End::Close;
  std::chrono::milliseconds stallFor{10000};  // how long End::Stall holds the connection
};

class TestServer {
 public:
  enum class Scheme { Http, Https };
  using Handler = std::function<Reply(const RecordedRequest&)>;

  explicit TestServer(Scheme scheme = Scheme::Http);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  // "http://127.0.0.1:<port>" (or https) followed by `target`.
  std::string Url(std::string_view target = "/") const;

  void Answer(const std::string& path, Reply reply);
  void Answer(const std::string& path, RawReply reply);  // plain HTTP only
  void Handle(const std::string& path, Handler handler);

  std::vector<RecordedRequest> Requests() const;
  // TCP connections accepted so far.
  int ConnectionCount() const { return connections_.load(); }
  // The most requests that were being answered at one time.
  int PeakConcurrency() const { return peakConcurrency_.load(); }

 private:
  using Route = std::variant<Handler, RawReply>;

  void Serve(const httplib::Request& request, httplib::Response& response);
  void WriteRaw(const RawReply& reply);
  // Waits `duration` or until the server stops; false when it stopped.
  bool Pause(std::chrono::milliseconds duration);
  std::shared_ptr<const Route> RouteFor(const std::string& path) const;

  Scheme scheme_;
  std::unique_ptr<httplib::Server> server_;
  std::thread listener_;
  int port_ = 0;

  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;                                       // guarded by mutex_
  std::map<std::string, std::shared_ptr<const Route>> routes_;  // guarded by mutex_
  std::vector<RecordedRequest> requests_;                       // guarded by mutex_

  std::atomic<int> connections_{0};
  std::atomic<int> inFlight_{0};
  std::atomic<int> peakConcurrency_{0};
};

}  // namespace zv::testing
