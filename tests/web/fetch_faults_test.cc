// Faults both page fetches meet alike: other schemes, broken, stalled and
// oversized responses, and cancellation from another thread.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"
#include "web/cancel_token.h"
#include "web/com_http_fetch.h"
#include "web/inet_http_fetch.h"

namespace zv::web {
namespace {

using std::chrono::milliseconds;
using testing::RawReply;
using testing::Reply;
using testing::TestServer;

std::string AsString(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

struct Fetch {
  const char* name;
  Bytes (*fetch)(const Text&, FetchOptions&);
  bool keepsAShortenedBody;  // a body cut off by the server comes back as far as it got
};

const Fetch kFetches[] = {{"ComHttpFetch", &ComHttpFetch, false},
                          {"InetHttpFetch", &InetHttpFetch, true}};

class BothFetches : public ::testing::TestWithParam<Fetch> {
 protected:
  Bytes Get(const std::string& url) {
    FetchOptions options;
    return GetParam().fetch(url, options);
  }
};

INSTANTIATE_TEST_SUITE_P(Web, BothFetches, ::testing::ValuesIn(kFetches),
                         [](const auto& info) { return std::string(info.param.name); });

std::string Head(std::size_t contentLength) {
  return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(contentLength) + "\r\n\r\n";
}

TEST_P(BothFetches, FetchOnlyHttpAndHttpsAlsoAcrossRedirects) {
  TestServer server;
  server.Answer("/secret", Reply{200, {}, "reachable only by http", {}});
  const std::vector<std::string> elsewhere = {
      "file:///etc/hostname", "ftp://127.0.0.1:" + std::to_string(server.port()) + "/",
      "gopher://127.0.0.1:" + std::to_string(server.port()) + "/secret",
      "dict://127.0.0.1:" + std::to_string(server.port()) + "/"};
  for (const std::string& url : elsewhere) {
    EXPECT_TRUE(Get(url).empty()) << url;
    server.Answer("/jump", testing::RedirectTo(url));
    EXPECT_TRUE(Get(server.Url("/jump")).empty()) << "redirect to " << url;
  }
}

TEST_P(BothFetches, StopFollowingAfterTenRedirects) {
  TestServer server;
  server.Handle("/hop", [](const testing::RecordedRequest& request) {
    return testing::RedirectTo(request.target + "x");
  });
  EXPECT_TRUE(Get(server.Url("/hop?n=")).empty());
  EXPECT_EQ(server.Requests().size(), 11u);
}

TEST_P(BothFetches, ReturnBodiesByteForByte) {
  std::string binary = "\xFF\xFE not UTF-8 \xC3";
  binary += std::string("\0\0zero", 6);
  std::string large(3 << 20, 'L');
  for (std::size_t i = 0; i < large.size(); i += 4096) large[i] = static_cast<char>(i / 4096);
  const std::vector<std::string> bodies = {"", binary, large};
  TestServer server;
  for (const std::string& body : bodies) {
    server.Answer("/body", Reply{200, {}, body, {}});
    EXPECT_EQ(AsString(Get(server.Url("/body"))), body) << body.size() << " bytes";
  }
}

TEST_P(BothFetches, ReadASlowBodyToItsEnd) {
  TestServer server;
  RawReply drip{{{Head(5), {}}}, RawReply::End::Close, {}};
  for (char byte : std::string("slow!"))
    drip.pieces.push_back({std::string(1, byte), milliseconds(150)});
  server.Answer("/drip", drip);
  EXPECT_EQ(AsString(Get(server.Url("/drip"))), "slow!");
}

TEST_P(BothFetches, HandleABodyCutOffByTheServer) {
  TestServer server;
  server.Answer("/cut", RawReply{{{Head(100) + "0123456789", {}}}, RawReply::End::Close, {}});
  server.Answer("/reset", RawReply{{{Head(100) + "0123456789", {}}}, RawReply::End::Reset, {}});

  EXPECT_EQ(AsString(Get(server.Url("/cut"))), GetParam().keepsAShortenedBody ? "0123456789" : "");
  EXPECT_NE(LastFetchError(), "");
  const std::string afterReset = AsString(Get(server.Url("/reset")));
  EXPECT_TRUE(std::string("0123456789").starts_with(afterReset)) << afterReset;
  if (!GetParam().keepsAShortenedBody) {
    EXPECT_EQ(afterReset, "");
  }
}

TEST_P(BothFetches, RefuseABodyOver64MiB) {
  constexpr std::size_t kMiB = 1 << 20;
  TestServer server;
  RawReply huge{{{Head(65 * kMiB), {}}}, RawReply::End::Close, {}};
  for (int i = 0; i < 65; ++i) huge.pieces.push_back({std::string(kMiB, 'h'), {}});
  server.Answer("/huge", std::move(huge));

  EXPECT_TRUE(Get(server.Url("/huge")).empty());
  EXPECT_NE(LastFetchError().find("64 MiB"), std::string::npos) << LastFetchError();
}

TEST_P(BothFetches, DropHeaderLinesThatWouldSplitIntoTwo) {
  TestServer server;
  server.Answer("/", Reply{});
  FetchOptions options;
  options.requestHeaders = "X-Kept: 1\r\nX-Bad: 1\nX-Injected: 2\r\nX-Also-Kept: 3";
  GetParam().fetch(server.Url("/"), options);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Header("X-Kept"), "1");
  EXPECT_EQ(server.Requests()[0].Header("X-Also-Kept"), "3");
  EXPECT_FALSE(server.Requests()[0].HasHeader("X-Injected"));
  EXPECT_FALSE(server.Requests()[0].HasHeader("X-Bad"));
}

// Cancels `token` from another thread once `delay` has passed.
class LateCancel {
 public:
  LateCancel(CancelToken& token, milliseconds delay)
      : thread_([&token, delay] {
          std::this_thread::sleep_for(delay);
          token.Cancel();
        }) {}
  ~LateCancel() { thread_.join(); }
  LateCancel(const LateCancel&) = delete;
  LateCancel& operator=(const LateCancel&) = delete;

 private:
  std::thread thread_;
};

TEST_P(BothFetches, ReturnEmptyWhenCancelledInFlight) {
  TestServer server;
  const RawReply stall{{}, RawReply::End::Stall, milliseconds(10000)};
  const RawReply stallMidBody{
      {{Head(100) + "partial", {}}}, RawReply::End::Stall, milliseconds(10000)};
  server.Answer("/stall", stall);
  server.Answer("/stall-mid-body", stallMidBody);
  server.Answer("/slow", Reply{200, {}, "late", milliseconds(10000)});

  for (const char* path : {"/stall", "/stall-mid-body", "/slow"}) {
    CancelToken token;
    FetchOptions options;
    options.cancel = &token;
    const auto started = std::chrono::steady_clock::now();
    Bytes body;
    {
      const LateCancel cancel(token, milliseconds(200));
      body = GetParam().fetch(server.Url(path), options);
    }
    EXPECT_TRUE(body.empty()) << path;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5))
        << path << ": before the stall ended";
    EXPECT_EQ(LastFetchError(), "cancelled") << path;
  }
}

TEST_P(BothFetches, StopForTheProcessShutdownToken) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const Fetch fetch = GetParam();
  EXPECT_EXIT(
      {
        TestServer server;
        server.Answer("/stall", RawReply{{}, RawReply::End::Stall, milliseconds(10000)});
        const LateCancel cancel(ProcessShutdownToken(), milliseconds(200));
        FetchOptions options;
        const bool empty = fetch.fetch(server.Url("/stall"), options).empty();
        std::_Exit(empty && LastFetchError() == "cancelled" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace zv::web
