#include "web/com_http_fetch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/test_server.h"
#include "web/headers.h"

namespace zv::web {
namespace {

using testing::RecordedRequest;
using testing::Reply;
using testing::TestServer;

std::string AsString(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

// Every header line but Host, which the transport adds itself.
std::vector<std::string> LinesAfterHost(const RecordedRequest& request) {
  std::vector<std::string> lines;
  for (const std::string& line : request.headerLines) {
    if (!line.starts_with("Host:")) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> DefaultLines(const std::string& url) {
  return {"Accept: */*", "Referer: " + url, "Accept-Language: zh-cn",
          std::string("User-Agent: ") + kDefaultUserAgent,
          "Content-Type: application/x-www-form-urlencoded"};
}

TEST(ComHttpFetch, WithEverythingLeftOutSendsAPlainGetWithTheDefaultLines) {
  TestServer server;
  server.Answer("/page", Reply{200, {{"Content-Type", "text/html"}}, "hello", {}});
  const std::string url = server.Url("/page?k=1");

  FetchOptions options;
  const Bytes body = ComHttpFetch(url, options);

  EXPECT_EQ(AsString(body), "hello");
  ASSERT_EQ(server.Requests().size(), 1u);
  const RecordedRequest request = server.Requests()[0];
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.target, "/page?k=1");
  EXPECT_EQ(LinesAfterHost(request), DefaultLines(url));  // in this order, and no Cookie line
  EXPECT_EQ(request.body, "");

  EXPECT_EQ(options.statusCode, 200);
  EXPECT_EQ(options.requestHeaders,
            "Accept: */*\r\nReferer: " + url + "\r\nAccept-Language: zh-cn\r\nUser-Agent: " +
                kDefaultUserAgent + "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_TRUE(options.responseHeaders.starts_with("HTTP/1.1 200 OK\r\n"))
      << options.responseHeaders;
  EXPECT_TRUE(options.responseHeaders.ends_with("\r\n\r\n")) << options.responseHeaders;
  EXPECT_EQ(options.returnedCookies, "");
  EXPECT_EQ(options.cookies, "");  // the merge runs on every call
  EXPECT_EQ(LastFetchError(), "");
}

TEST(ComHttpFetch, SendsTheCookieFirstThenTheBlockLinesSkippingEmptyOnes) {
  TestServer server;
  server.Answer("/", Reply{200, {{"Set-Cookie", "b=2; Path=/"}}, "", {}});
  const std::string url = server.Url("/");

  FetchOptions options;
  options.cookies = "a=1";
  options.requestHeaders = "X-One: 1\r\n\r\nX-Two: two words\r\nno colon line";
  ComHttpFetch(url, options);

  ASSERT_EQ(server.Requests().size(), 1u);
  std::vector<std::string> expected = {"Cookie: a=1", "X-One: 1", "X-Two: two words"};
  for (const std::string& line : DefaultLines(url)) expected.push_back(line);
  EXPECT_EQ(LinesAfterHost(server.Requests()[0]), expected);
  EXPECT_EQ(options.returnedCookies, "b=2");
  EXPECT_EQ(options.cookies, "b=2; a=1");
}

TEST(ComHttpFetch, SelectsTheVerbFromTheMethod) {
  struct Case {
    std::optional<int> method;
    std::string verb;
  };
  const std::vector<Case> cases = {{std::nullopt, "GET"}, {0, "GET"}, {1, "POST"},
                                   {2, "HEAD"},           {3, "GET"}, {-1, "GET"}};
  TestServer server;
  server.Answer("/", Reply{200, {}, "body", {}});
  for (const Case& c : cases) {
    FetchOptions options;
    options.method = c.method;
    options.postText = "t=1";  // sent with a POST only
    const Bytes body = ComHttpFetch(server.Url("/"), options);
    ASSERT_FALSE(server.Requests().empty());
    const RecordedRequest request = server.Requests().back();
    EXPECT_EQ(request.method, c.verb) << c.method.value_or(99);
    EXPECT_EQ(request.body, c.verb == "POST" ? "t=1" : "") << c.method.value_or(99);
    EXPECT_EQ(AsString(body), c.verb == "HEAD" ? "" : "body");
    EXPECT_EQ(options.statusCode, 200);
  }
}

TEST(ComHttpFetch, SendsPostBytesInsteadOfPostText) {
  TestServer server;
  server.Answer("/post", Reply{201, {}, "made", {}});
  const Bytes bytes = {'k', '=', 0x00, 0xD6, 0xD0, 0xFF};

  FetchOptions options;
  options.method = 1;
  options.postText = "ignored=1";
  options.postBytes = bytes;
  const Bytes body = ComHttpFetch(server.Url("/post"), options);

  EXPECT_EQ(AsString(body), "made");
  EXPECT_EQ(options.statusCode, 201);
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].body, AsString(bytes));
  EXPECT_EQ(server.Requests()[0].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(options.postBytes, bytes);

  FetchOptions textOnly;
  textOnly.method = 1;
  textOnly.postText = "q=\xD6\xD0";
  ComHttpFetch(server.Url("/post"), textOnly);
  EXPECT_EQ(server.Requests().back().body, "q=\xD6\xD0");
}

TEST(ComHttpFetch, FollowsRedirectsUnlessNoRedirect) {
  TestServer server;
  server.Answer("/from", testing::RedirectTo("/to"));
  server.Answer("/to", Reply{200, {}, "arrived", {}});

  FetchOptions follow;
  EXPECT_EQ(AsString(ComHttpFetch(server.Url("/from"), follow)), "arrived");
  EXPECT_EQ(follow.statusCode, 200);
  EXPECT_TRUE(follow.responseHeaders.starts_with("HTTP/1.1 200"))
      << "only the last response's headers";

  FetchOptions stay;
  stay.noRedirect = true;
  ComHttpFetch(server.Url("/from"), stay);
  EXPECT_EQ(stay.statusCode, 302);
  EXPECT_NE(stay.responseHeaders.find("Location: /to\r\n"), std::string::npos);
  ASSERT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(server.Requests()[2].target, "/from");
}

TEST(ComHttpFetch, TimeoutSecondsSetsAllFourTimeoutsOnTheObject) {
  struct Case {
    std::optional<int> timeoutSeconds;
    bool set;
    int milliseconds;
  };
  const std::vector<Case> cases = {{std::nullopt, true, 15000},
                                   {0, true, 15000},
                                   {-5, true, 15000},
                                   {3, true, 3000},
                                   {-1, false, 0}};
  TestServer server;
  server.Answer("/", Reply{});
  for (const Case& c : cases) {
    FetchOptions options;
    options.timeoutSeconds = c.timeoutSeconds;
    options.requestObject = std::make_shared<RequestObject>();
    ComHttpFetch(server.Url("/"), options);
    const RequestObject::Settings settings = options.requestObject->Get();
    const int given = c.timeoutSeconds.value_or(99);
    EXPECT_EQ(settings.timeoutsSet, c.set) << given;
    EXPECT_EQ(settings.resolveTimeoutMs, c.milliseconds) << given;
    EXPECT_EQ(settings.connectTimeoutMs, c.milliseconds) << given;
    EXPECT_EQ(settings.sendTimeoutMs, c.milliseconds) << given;
    EXPECT_EQ(settings.receiveTimeoutMs, c.milliseconds) << given;
    EXPECT_EQ(settings.sslErrorIgnoreFlags, 0x3300) << given;
  }
}

TEST(ComHttpFetch, ACallerOwnedObjectKeepsTheSettingsOfEarlierFetches) {
  TestServer server;
  server.Answer("/from", testing::RedirectTo("/to"));
  server.Answer("/to", Reply{200, {}, "arrived", {}});
  const auto object = std::make_shared<RequestObject>();

  FetchOptions first;
  first.requestObject = object;
  first.timeoutSeconds = 7;
  first.noRedirect = true;
  ComHttpFetch(server.Url("/from"), first);

  FetchOptions second;  // leaves the time-outs alone and asks nothing of redirects
  second.requestObject = object;
  second.timeoutSeconds = -1;
  ComHttpFetch(server.Url("/from"), second);

  EXPECT_EQ(second.statusCode, 302) << "Option(6) stays off on the object";
  EXPECT_EQ(object->Get().receiveTimeoutMs, 7000);
  EXPECT_FALSE(object->Get().enableRedirects);
}

TEST(ComHttpFetch, GoesThroughTheProxyWithTheCredentialsForTheFlag) {
  struct Case {
    std::optional<Text> proxyUser;
    std::optional<int> proxyCredentialsFlag;
    std::string proxyAuthorization;  // on the last request the proxy saw
    std::string authorization;
  };
  const std::string basic = "Basic dXNlcjpwYXNz";  // user:pass
  const std::vector<Case> cases = {
      {std::nullopt, std::nullopt, "", ""},
      {"user", std::nullopt, basic, ""},  // left out reads as 1: for the proxy
      {"user", 1, basic, ""},
      {"user", 0, "", basic},  // 0: for the server
  };
  for (const Case& c : cases) {
    TestServer proxy;
    const std::string target = "http://site.invalid/page";
    proxy.Handle(target, [](const RecordedRequest& request) {
      if (request.HasHeader("Proxy-Authorization") || request.HasHeader("Authorization"))
        return Reply{200, {}, "ok", {}};
      if (request.Header("X-Want") == "proxy")
        return Reply{407, {{"Proxy-Authenticate", "Basic realm=\"p\""}}, "", {}};
      if (request.Header("X-Want") == "server")
        return Reply{401, {{"WWW-Authenticate", "Basic realm=\"s\""}}, "", {}};
      return Reply{200, {}, "ok", {}};
    });
    FetchOptions options;
    options.proxy = "127.0.0.1:" + std::to_string(proxy.port());
    options.proxyUser = c.proxyUser;
    options.proxyPassword = "pass";
    options.proxyCredentialsFlag = c.proxyCredentialsFlag;
    if (c.proxyUser)
      options.requestHeaders = c.proxyCredentialsFlag == 0 ? "X-Want: server" : "X-Want: proxy";
    const Bytes body = ComHttpFetch(target, options);

    const std::string label =
        c.proxyUser.value_or("-") + "/" + std::to_string(c.proxyCredentialsFlag.value_or(9));
    EXPECT_EQ(AsString(body), "ok") << label << " " << LastFetchError();
    ASSERT_FALSE(proxy.Requests().empty()) << label;
    EXPECT_EQ(proxy.Requests().back().target, target) << label;
    EXPECT_EQ(proxy.Requests().back().Header("Proxy-Authorization"), c.proxyAuthorization) << label;
    EXPECT_EQ(proxy.Requests().back().Header("Authorization"), c.authorization) << label;
  }
}

TEST(ComHttpFetch, IgnoresCertificateErrors) {
  TestServer server(TestServer::Scheme::Https);
  server.Answer("/secure", Reply{200, {}, "secret", {}});
  FetchOptions options;
  EXPECT_EQ(AsString(ComHttpFetch(server.Url("/secure"), options)), "secret") << LastFetchError();
  EXPECT_EQ(options.statusCode, 200);
}

TEST(ComHttpFetch, AFailedRequestStillMergesTheCookies) {
  int deadPort = 0;
  {
    TestServer gone;
    deadPort = gone.port();
  }
  FetchOptions options;
  options.cookies = "a = 1; x=deleted; a=2";
  const Bytes body = ComHttpFetch("http://127.0.0.1:" + std::to_string(deadPort) + "/", options);

  EXPECT_TRUE(body.empty());
  EXPECT_EQ(options.statusCode, 0);
  EXPECT_EQ(options.responseHeaders, "");
  EXPECT_EQ(options.returnedCookies, "");
  EXPECT_EQ(options.cookies, "a=1");
  EXPECT_NE(LastFetchError(), "");
}

TEST(ComHttpFetch, ReturnsErrorStatusesWithTheirBodies) {
  TestServer server;
  server.Answer("/missing", Reply{404, {{"Set-Cookie", "seen=1"}}, "not here", {}});
  FetchOptions options;
  EXPECT_EQ(AsString(ComHttpFetch(server.Url("/missing"), options)), "not here");
  EXPECT_EQ(options.statusCode, 404);
  EXPECT_EQ(options.returnedCookies, "seen=1");
}

}  // namespace
}  // namespace zv::web
