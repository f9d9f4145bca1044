#include "web/url_parts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv::web {
namespace {

TEST(UrlParts, SplitsUrlsAsTheConnectionUsesThem) {
  struct Case {
    std::string url;
    std::string host;
    std::string hostWithPort;
    int port;
    std::string path;
  };
  const std::vector<Case> cases = {
      {"http://WWW.Example.COM:8080/a/b?c=1", "www.example.com", "www.example.com:8080", 8080,
       "/a/b?c=1"},
      {"HTTPS://Secure.Example.com/X/Y", "secure.example.com", "secure.example.com", 443, "/X/Y"},
      {"https://example.com:8443/p", "example.com", "example.com:8443", 8443, "/p"},
      {"http://example.com", "example.com", "example.com", 80, "/"},
      // The host part runs to the first "/", so a query right after it stays
      // in the host and the path is "/".
      {"http://example.com?q=1", "example.com?q=1", "example.com?q=1", 80, "/"},
      {"example.com/a", "example.com", "example.com", 80, "/a"},
      {"Example.com:81/a", "example.com", "example.com:81", 81, "/a"},
      {"http://example.com:abc/", "example.com", "example.com:abc", 0, "/"},
      {"http://example.com/dir/http://x/", "example.com", "example.com", 80, "/dir/http://x/"},
      {"", "", "", 80, "/"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UrlHost(c.url, false), c.host) << c.url;
    EXPECT_EQ(UrlHost(c.url, true), c.hostWithPort) << c.url;
    EXPECT_EQ(UrlPort(c.url), c.port) << c.url;
    EXPECT_EQ(UrlPath(c.url), c.path) << c.url;
  }
}

}  // namespace
}  // namespace zv::web
