#include "support/test_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "support/fixtures.h"

namespace zv::testing {
namespace {

constexpr int kWorkerThreads = 48;
constexpr int kIoTimeoutMs = 5000;
constexpr int kIdleSliceMs = 50;
constexpr time_t kKeepAliveSeconds = 5;
constexpr std::size_t kKeepAliveRequests = 100000;

bool WaitFor(int socket, short events, int timeoutMs) {
  pollfd entry{socket, events, 0};
  int ready = 0;
  do {
    ready = poll(&entry, 1, timeoutMs);
  } while (ready < 0 && errno == EINTR);
  return ready > 0;
}

using AddressOf = int (*)(int, sockaddr*, socklen_t*);

void ReadAddress(AddressOf read, int socket, std::string& ip, int& port) {
  sockaddr_storage address{};
  socklen_t length = sizeof(address);
  if (read(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      address.ss_family != AF_INET)
    return;
  const auto& inet = reinterpret_cast<const sockaddr_in&>(address);
  std::array<char, INET_ADDRSTRLEN> text{};
  inet_ntop(AF_INET, &inet.sin_addr, text.data(), text.size());
  ip = text.data();
  port = ntohs(inet.sin_port);
}

// A socket stream that keeps the bytes it hands to the HTTP parser, so a
// request's head can be read back exactly as it came. Used by one thread.
class RecordingStream : public httplib::Stream {
 public:
  explicit RecordingStream(int socket) : socket_(socket) {}

  bool is_readable() const override {
    return begin_ < end_ || WaitFor(socket_, POLLIN, kIoTimeoutMs);
  }
  bool is_writable() const override { return !closing_ && WaitFor(socket_, POLLOUT, kIoTimeoutMs); }

  ssize_t read(char* destination, size_t size) override {
    if (begin_ == end_) {
      if (!is_readable()) return -1;
      const ssize_t got = recv(socket_, buffer_.data(), buffer_.size(), 0);
      if (got <= 0) return got;
      begin_ = 0;
      end_ = static_cast<std::size_t>(got);
    }
    const std::size_t count = std::min(size, end_ - begin_);
    std::memcpy(destination, buffer_.data() + begin_, count);
    begin_ += count;
    received_.append(destination, count);
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* source, size_t size) override {
    if (!is_writable()) return -1;
    return send(socket_, source, size, MSG_NOSIGNAL);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    ReadAddress(&getpeername, socket_, ip, port);
  }
  void get_local_ip_and_port(std::string& ip, int& port) const override {
    ReadAddress(&getsockname, socket_, ip, port);
  }
  socket_t socket() const override { return socket_; }

  bool HasBufferedBytes() const { return begin_ < end_; }
  void BeginRequest() { received_.clear(); }
  const std::string& Received() const { return received_; }

  bool WriteAll(const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t wrote = write(bytes.data() + sent, bytes.size() - sent);
      if (wrote <= 0) return false;
      sent += static_cast<std::size_t>(wrote);
    }
    return true;
  }
  // Refuses every later write, so the library's own answer never goes out
  // and the connection is closed after the handler; with `reset` the close
  // sends a TCP reset.
  void Close(bool reset) {
    closing_ = true;
    reset_ = reset;
  }
  bool closing() const { return closing_; }
  bool reset() const { return reset_; }

 private:
  int socket_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0, end_ = 0;
  std::string received_;
  bool closing_ = false;
  bool reset_ = false;
};

// The stream of the connection the calling worker thread serves, if plain.
thread_local RecordingStream* currentStream = nullptr;

// A server bound to 127.0.0.1 for many short exchanges: without Nagle's
// delay, and with room for many connects at once (httplib listens with a
// backlog of 5, and every SYN dropped beyond it costs the client a second).
template <class Base>
class LoopbackServer : public Base {
 public:
  using Base::Base;
  int BindToFreePort() {
    this->set_tcp_nodelay(true);
    const int port = this->bind_to_any_port("127.0.0.1");
    if (port > 0) ::listen(this->svr_sock_, SOMAXCONN);
    return port;
  }
};

// The plain server reads connections through a RecordingStream and serves
// keep-alive requests until the client leaves, the server stops or a raw
// reply closes the connection.
class PlainServer : public LoopbackServer<httplib::Server> {
 private:
  bool process_and_close_socket(socket_t socket) override {
    RecordingStream stream(socket);
    bool served = false;
    for (std::size_t left = keep_alive_max_count_; left > 0 && AwaitRequest(stream); --left) {
      bool closed = false;
      stream.BeginRequest();
      currentStream = &stream;
      served = process_request(stream, left == 1, closed, nullptr);
      currentStream = nullptr;
      if (!served || closed || stream.closing()) break;
    }
    if (stream.reset()) {
      const linger abort{1, 0};
      setsockopt(socket, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
    } else {
      shutdown(socket, SHUT_RDWR);
    }
    close(socket);
    return served;
  }

  bool AwaitRequest(const RecordingStream& stream) const {
    if (stream.HasBufferedBytes()) return true;
    for (int waited = 0; waited < kKeepAliveSeconds * 1000; waited += kIdleSliceMs) {
      if (svr_sock_ == INVALID_SOCKET) return false;
      if (WaitFor(stream.socket(), POLLIN, kIdleSliceMs)) return true;
    }
    return false;
  }
};

// Hands each accepted connection to a thread pool and counts them.
class CountingQueue : public httplib::TaskQueue {
 public:
  explicit CountingQueue(std::atomic<int>& accepted) : accepted_(accepted), pool_(kWorkerThreads) {}
  void enqueue(std::function<void()> task) override {
    ++accepted_;
    pool_.enqueue(std::move(task));
  }
  void shutdown() override { pool_.shutdown(); }

 private:
  std::atomic<int>& accepted_;
  httplib::ThreadPool pool_;
};

bool IsAddedByServer(const std::string& name) {
  return name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
         name == "LOCAL_PORT";
}

std::vector<std::string> HeaderLinesOfHead(const std::string& received) {
  const std::size_t headEnd = received.find("\r\n\r\n");
  const std::string head = received.substr(0, headEnd);
  std::vector<std::string> lines;
  std::size_t start = head.find("\r\n");  // past the request line
  while (start != std::string::npos) {
    start += 2;
    const std::size_t end = head.find("\r\n", start);
    lines.push_back(head.substr(start, end == std::string::npos ? std::string::npos : end - start));
    start = end;
  }
  return lines;
}

std::vector<std::string> HeaderLinesOf(const httplib::Request& request) {
  if (currentStream) return HeaderLinesOfHead(currentStream->Received());
  std::vector<std::string> lines;
  for (const auto& [name, value] : request.headers) {
    if (!IsAddedByServer(name)) lines.push_back(name + ": " + value);
  }
  return lines;
}

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lowered;
}

class InFlight {
 public:
  InFlight(std::atomic<int>& inFlight, std::atomic<int>& peak) : inFlight_(inFlight) {
    const int now = ++inFlight_;
    int seen = peak.load();
    while (now > seen && !peak.compare_exchange_weak(seen, now)) {
    }
  }
  ~InFlight() { --inFlight_; }
  InFlight(const InFlight&) = delete;
  InFlight& operator=(const InFlight&) = delete;

 private:
  std::atomic<int>& inFlight_;
};

}  // namespace

std::string RecordedRequest::Header(std::string_view name) const {
  const std::string wanted = Lowered(name) + ":";
  for (const std::string& line : headerLines) {
    if (Lowered(line).starts_with(wanted)) {
      const std::size_t valueStart = line.find_first_not_of(' ', wanted.size());
      return valueStart == std::string::npos ? "" : line.substr(valueStart);
    }
  }
  return "";
}

bool RecordedRequest::HasHeader(std::string_view name) const {
  const std::string wanted = Lowered(name) + ":";
  return std::any_of(headerLines.begin(), headerLines.end(),
                     [&](const std::string& line) { return Lowered(line).starts_with(wanted); });
}

Reply RedirectTo(std::string location, int status) {
  Reply reply;
  reply.status = status;
  reply.headers.emplace_back("Location", std::move(location));
  return reply;
}

TestServer::TestServer(Scheme scheme) : scheme_(scheme) {
  if (scheme == Scheme::Https) {
    auto secure = std::make_unique<LoopbackServer<httplib::SSLServer>>(
        FixturePath("web_cert.pem").c_str(), FixturePath("web_key.pem").c_str());
    port_ = secure->BindToFreePort();
    secure->set_keep_alive_timeout(1);  // its idle connections hold up the stop
    server_ = std::move(secure);
  } else {
    auto plain = std::make_unique<PlainServer>();
    port_ = plain->BindToFreePort();
    plain->set_keep_alive_timeout(kKeepAliveSeconds);
    server_ = std::move(plain);
  }
  server_->set_keep_alive_max_count(kKeepAliveRequests);
  server_->new_task_queue = [this] { return new CountingQueue(connections_); };
  const httplib::Server::Handler serve = [this](const httplib::Request& request,
                                                httplib::Response& response) {
    Serve(request, response);
  };
  server_->Get(".*", serve).Post(".*", serve).Put(".*", serve).Delete(".*", serve);
  server_->Patch(".*", serve).Options(".*", serve);

  if (port_ <= 0) {
    ADD_FAILURE() << "test server could not bind to 127.0.0.1";
    return;
  }
  listener_ = std::thread([this] { server_->listen_after_bind(); });
  for (int waited = 0; !server_->is_running() && waited < 5000; ++waited) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

TestServer::~TestServer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stopped_.notify_all();
  server_->stop();
  if (listener_.joinable()) listener_.join();
}

std::string TestServer::Url(std::string_view target) const {
  return std::string(scheme_ == Scheme::Https ? "https" : "http") +
         "://127.0.0.1:" + std::to_string(port_) + std::string(target);
}

void TestServer::Answer(const std::string& path, Reply reply) {
  Handle(path, [reply = std::move(reply)](const RecordedRequest&) { return reply; });
}

void TestServer::Answer(const std::string& path, RawReply reply) {
  if (scheme_ == Scheme::Https) ADD_FAILURE() << "raw replies need a plain-HTTP test server";
  auto route = std::make_shared<const Route>(std::move(reply));
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(route);
}

void TestServer::Handle(const std::string& path, Handler handler) {
  auto route = std::make_shared<const Route>(std::move(handler));
  std::lock_guard lock(mutex_);
  routes_[path] = std::move(route);
}

std::vector<RecordedRequest> TestServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::shared_ptr<const TestServer::Route> TestServer::RouteFor(const std::string& path) const {
  std::lock_guard lock(mutex_);
  const auto found = routes_.find(path);
  return found == routes_.end() ? std::make_shared<const Route>(Handler()) : found->second;
}

bool TestServer::Pause(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  return !stopped_.wait_for(lock, duration, [this] { return stopping_; });
}

void TestServer::Serve(const httplib::Request& request, httplib::Response& response) {
  const InFlight inFlight(inFlight_, peakConcurrency_);
  RecordedRequest recorded{request.method, request.target, HeaderLinesOf(request), request.body,
                           request.remote_port};
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(recorded);
  }
  const std::shared_ptr<const Route> route = RouteFor(request.path);
  if (const auto* raw = std::get_if<RawReply>(route.get())) {
    WriteRaw(*raw);
    return;
  }
  const Handler& handler = std::get<Handler>(*route);
  const Reply reply = handler ? handler(recorded) : Reply{404, {}, "", {}};
  Pause(reply.delay);
  response.status = reply.status;
  for (const auto& [name, value] : reply.headers) response.headers.emplace(name, value);
  response.body = reply.body;
}

void TestServer::WriteRaw(const RawReply& reply) {
  RecordingStream* stream = currentStream;
  if (!stream) return;
  bool going = true;
  for (const RawReply::Piece& piece : reply.pieces) {
    going = going && Pause(piece.pauseBefore) && stream->WriteAll(piece.bytes);
  }
  if (going && reply.end == RawReply::End::Stall) Pause(reply.stallFor);
  stream->Close(reply.end == RawReply::End::Reset);
}

}  // namespace zv::testing
