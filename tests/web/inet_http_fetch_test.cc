#include "web/inet_http_fetch.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/test_server.h"
#include "web/com_http_fetch.h"
#include "web/headers.h"

namespace zv::web {
namespace {

using testing::RawReply;
using testing::RecordedRequest;
using testing::Reply;
using testing::TestServer;

std::string AsString(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

std::vector<std::string> LinesAfterHost(const RecordedRequest& request) {
  std::vector<std::string> lines;
  for (const std::string& line : request.headerLines) {
    if (!line.starts_with("Host:")) lines.push_back(line);
  }
  return lines;
}

TEST(InetRequestFlags, FollowTheUrlAndTheOptions) {
  struct Case {
    std::string url;
    std::optional<Text> cookies;
    std::optional<bool> noRedirect;
    std::uint32_t flags;
  };
  const std::vector<Case> cases = {
      {"http://example.test/", std::nullopt, std::nullopt, 0x80004010},
      {"https://example.test/", std::nullopt, std::nullopt, 0x80800010},
      {"HTTPS://example.test/", std::nullopt, std::nullopt, 0x80800010},
      {"example.test/", std::nullopt, std::nullopt, 0x80004010},
      {"http://example.test/", "", std::nullopt, 0x80084010},  // given, even empty
      {"http://example.test/", std::nullopt, true, 0x80204010},
      {"http://example.test/", std::nullopt, false, 0x80004010},
      {"https://example.test/", "a=1", true, 0x80A80010},
  };
  for (const Case& c : cases) {
    FetchOptions options;
    options.cookies = c.cookies;
    options.noRedirect = c.noRedirect;
    EXPECT_EQ(InetRequestFlags(c.url, options), c.flags) << c.url;
  }
}

TEST(InetHttpFetch, WithEverythingLeftOutSendsAPlainGetWithTheDefaultLines) {
  TestServer server;
  // Max-Age=0: the process store drops the cookie at once, so no later request carries it.
  server.Answer("/detail/1.html",
                Reply{200, {{"Set-Cookie", "inet_plain=1; Max-Age=0"}}, "detail", {}});
  const std::string url = server.Url("/detail/1.html");

  FetchOptions options;
  options.postText = "never sent with a GET";
  const Bytes body = InetHttpFetch(url, options);

  EXPECT_EQ(AsString(body), "detail");
  ASSERT_EQ(server.Requests().size(), 1u);
  const RecordedRequest request = server.Requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/detail/1.html");
  const std::vector<std::string> expected = {
      std::string("User-Agent: ") + kDefaultUserAgent, "Accept: */*", "Referer: " + url,
      "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded"};
  EXPECT_EQ(LinesAfterHost(request), expected);
  EXPECT_EQ(request.body, "");

  EXPECT_EQ(options.requestHeaders,
            "Accept: */*\r\nReferer: " + url +
                "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_TRUE(options.responseHeaders.starts_with("HTTP/1.1 200 OK\r\n"))
      << options.responseHeaders;
  EXPECT_EQ(options.returnedCookies, "inet_plain=1");
  EXPECT_FALSE(options.cookies.has_value()) << "no merge without given cookies";
  EXPECT_FALSE(options.postBytes.has_value());
}

TEST(InetHttpFetch, DerivesTheUserAgentFromTheCallersBlock) {
  struct Case {
    std::string block;
    std::vector<std::string> userAgentLines;
  };
  const std::vector<Case> cases = {
      {"", {std::string("User-Agent: ") + kDefaultUserAgent}},
      {"User-Agent: Bot/2", {"User-Agent: Bot/2"}},  // the block's own line stands for both
      {"X-Note: User-Agent: Quoted/1\r\nX-B: 1", {"User-Agent: Quoted/1"}},
      // Another letter case: the agent is the block's first value.
      {"X-Note: user-agent: lower", {"User-Agent: user-agent: lower"}},
  };
  TestServer server;
  server.Answer("/", Reply{});
  for (const Case& c : cases) {
    FetchOptions options;
    options.requestHeaders = c.block;
    InetHttpFetch(server.Url("/"), options);
    ASSERT_FALSE(server.Requests().empty());
    const RecordedRequest request = server.Requests().back();
    std::vector<std::string> agents;
    for (const std::string& line : request.headerLines) {
      if (line.starts_with("User-Agent:") || line.starts_with("user-agent:"))
        agents.push_back(line);
    }
    EXPECT_EQ(agents, c.userAgentLines) << c.block;
  }
}

TEST(InetHttpFetch, GivenCookiesTurnTheStoreOffAndAreMerged) {
  TestServer server;
  server.Answer("/set", Reply{200, {{"Set-Cookie", "inet_given=v; Path=/"}}, "", {}});
  server.Answer("/check", Reply{});

  FetchOptions options;
  options.cookies = "";
  InetHttpFetch(server.Url("/set"), options);
  EXPECT_EQ(options.cookies, "inet_given=v");
  EXPECT_EQ(options.returnedCookies, "inet_given=v");
  EXPECT_FALSE(server.Requests()[0].HasHeader("Cookie"));

  FetchOptions later;  // the store never saw that cookie
  InetHttpFetch(server.Url("/check"), later);
  EXPECT_EQ(server.Requests()[1].Header("Cookie").find("inet_given"), std::string::npos);

  FetchOptions again;
  again.cookies = "inet_given=v; old = 1";
  InetHttpFetch(server.Url("/check"), again);
  EXPECT_EQ(server.Requests()[2].headerLines.back(), "Cookie: inet_given=v; old = 1")
      << "appended last";
  EXPECT_EQ(again.requestHeaders.value().substr(again.requestHeaders->rfind("\r\n")),
            "\r\nCookie: inet_given=v; old = 1");
  EXPECT_EQ(again.cookies, "inet_given=v; old=1") << "blanks removed, nothing new";
}

TEST(InetHttpFetch, TheCookieStoreIsSharedBetweenThreads) {
  TestServer server;
  // The path keeps the cookie from the requests of other tests.
  server.Answer("/shared/set",
                Reply{200, {{"Set-Cookie", "inet_shared=42; Path=/shared"}}, "", {}});
  server.Answer("/shared/check", Reply{});

  std::thread([&] { InetHttpFetch(server.Url("/shared/set")); }).join();
  std::thread([&] { InetHttpFetch(server.Url("/shared/check")); }).join();

  ASSERT_EQ(server.Requests().size(), 2u);
  EXPECT_NE(server.Requests()[1].Header("Cookie").find("inet_shared=42"), std::string::npos)
      << server.Requests()[1].Header("Cookie");
}

TEST(InetHttpFetch, PostSendsThePostTextBytesAndWritesThemBack) {
  TestServer server;
  server.Answer("/form", Reply{200, {}, "posted", {}});

  FetchOptions options;
  options.method = 1;
  options.postText = "name=\xD6\xD0";
  EXPECT_EQ(AsString(InetHttpFetch(server.Url("/form"), options)), "posted");
  EXPECT_EQ(server.Requests()[0].method, "POST");
  EXPECT_EQ(server.Requests()[0].body, "name=\xD6\xD0");
  EXPECT_EQ(options.postBytes, text::TextToBytes("name=\xD6\xD0"));

  FetchOptions bytes;
  bytes.method = 1;
  bytes.postText = "ignored";
  bytes.postBytes = Bytes{0x00, 0x01, 0xFE};
  InetHttpFetch(server.Url("/form"), bytes);
  EXPECT_EQ(server.Requests()[1].body, std::string("\x00\x01\xFE", 3));
  EXPECT_EQ(bytes.postBytes, (Bytes{0x00, 0x01, 0xFE}));

  FetchOptions head;
  head.method = 2;
  head.postText = "h";
  EXPECT_TRUE(InetHttpFetch(server.Url("/form"), head).empty());
  EXPECT_EQ(server.Requests()[2].method, "HEAD");
  EXPECT_EQ(head.postBytes, text::TextToBytes("h"));
}

TEST(InetHttpFetch, NoRedirectReturnsTheRedirectItself) {
  TestServer server;
  server.Answer("/from", Reply{302, {{"Location", "/to"}}, "moved", {}});
  server.Answer("/to", Reply{200, {}, "arrived", {}});

  EXPECT_EQ(AsString(InetHttpFetch(server.Url("/from"))), "arrived");
  FetchOptions options;
  options.noRedirect = true;
  EXPECT_EQ(AsString(InetHttpFetch(server.Url("/from"), options)), "moved");
  EXPECT_TRUE(options.responseHeaders.starts_with("HTTP/1.1 302")) << options.responseHeaders;
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(InetHttpFetch, FollowsARedirectFromHttpToHttpsAndVerifiesTheCertificate) {
  TestServer secure(TestServer::Scheme::Https);
  secure.Answer("/", Reply{200, {}, "secure", {}});
  TestServer plain;
  plain.Answer("/up", testing::RedirectTo(secure.Url("/")));

  const Bytes body = InetHttpFetch(plain.Url("/up"));

  EXPECT_TRUE(body.empty()) << "the test certificate is trusted by no one";
  EXPECT_GE(secure.ConnectionCount(), 1) << "the redirect was followed";
  EXPECT_NE(LastFetchError(), "");
}

TEST(InetHttpFetch, RawHeadersOver4999BytesYieldBlanksAndNoCookies) {
  struct Case {
    std::size_t headerBytes;
    bool kept;
  };
  const std::vector<Case> cases = {{4999, true}, {5000, false}, {20000, false}};
  for (const Case& c : cases) {
    const std::string start =
        "HTTP/1.1 200 OK\r\nSet-Cookie: inet_big=1\r\nContent-Length: 2\r\nX-Fill: ";
    const std::string end = "\r\n\r\n";
    const std::string head =
        start + std::string(c.headerBytes - start.size() - end.size(), 'f') + end;
    TestServer server;
    server.Answer("/", RawReply{{{head + "ok", {}}}, RawReply::End::Close, {}});

    FetchOptions options;
    options.cookies = "";
    EXPECT_EQ(AsString(InetHttpFetch(server.Url("/"), options)), "ok") << c.headerBytes;
    EXPECT_EQ(options.responseHeaders, c.kept ? head : std::string(5000, ' ')) << c.headerBytes;
    EXPECT_EQ(options.returnedCookies, c.kept ? "inet_big=1" : "") << c.headerBytes;
    EXPECT_EQ(options.cookies, c.kept ? "inet_big=1" : "") << c.headerBytes;
  }
}

TEST(InetHttpFetch, AFailedRequestLeavesBlankHeadersAndNoCookies) {
  int deadPort = 0;
  {
    TestServer gone;
    deadPort = gone.port();
  }
  FetchOptions options;
  options.cookies = "a=1; b=deleted";
  EXPECT_TRUE(InetHttpFetch("http://127.0.0.1:" + std::to_string(deadPort) + "/", options).empty());
  EXPECT_EQ(options.responseHeaders, std::string(5000, ' '));
  EXPECT_EQ(options.returnedCookies, "");
  EXPECT_EQ(options.cookies, "a=1");
}

TEST(InetHttpFetch, ConnectsToTheHostPortAndPathOfTheUrlParts) {
  TestServer server;
  server.Answer("/Some Path", Reply{200, {}, "spaced", {}});
  server.Answer("/Case", Reply{200, {}, "cased", {}});
  const std::string port = std::to_string(server.port());

  EXPECT_EQ(AsString(InetHttpFetch("127.0.0.1:" + port + "/Some Path")),
            "spaced");  // no scheme: http
  EXPECT_EQ(server.Requests().back().target, "/Some%20Path");
  EXPECT_EQ(AsString(InetHttpFetch("HTTP://127.0.0.1:" + port + "/Case?q=1")), "cased");
  EXPECT_EQ(server.Requests().back().target, "/Case?q=1");
}

TEST(InetHttpFetch, AUrlWithoutAValidHostOpensNoRequest) {
  FetchOptions options;
  options.requestHeaders = "X-Mine: 1";
  EXPECT_TRUE(InetHttpFetch("http://bad host/", options).empty());
  EXPECT_EQ(options.requestHeaders, "X-Mine: 1");
  EXPECT_EQ(options.responseHeaders, "");
}

TEST(InetHttpFetch, UsesTheProxyForPlainHttp) {
  TestServer proxy;
  const std::string target = "http://detail.invalid/7.html";
  proxy.Answer(target, Reply{200, {}, "via proxy", {}});
  FetchOptions options;
  options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
  EXPECT_EQ(AsString(InetHttpFetch(target, options)), "via proxy") << LastFetchError();
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, target);
}

TEST(InetHttpFetch, SequentialCallsReuseOneConnection) {
  TestServer server;
  server.Answer("/", Reply{200, {}, "again", {}});
  for (int i = 0; i < 5; ++i) EXPECT_EQ(AsString(InetHttpFetch(server.Url("/"))), "again");
  EXPECT_EQ(server.ConnectionCount(), 1);
}

TEST(InetHttpFetch, ManyThreadsFetchAtOnce) {
  TestServer server;
  server.Handle("/n", [](const RecordedRequest& request) {
    return Reply{200, {}, request.target, {}};
  });
  constexpr int kThreads = 20;
  std::vector<std::string> bodies(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round)
        bodies[i] = AsString(InetHttpFetch(server.Url("/n?i=" + std::to_string(i))));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int i = 0; i < kThreads; ++i) EXPECT_EQ(bodies[i], "/n?i=" + std::to_string(i));
  EXPECT_EQ(server.Requests().size(), 5u * kThreads);
  EXPECT_LE(server.ConnectionCount(), kThreads) << "at most one connection per caller at a time";
}

}  // namespace
}  // namespace zv::web
