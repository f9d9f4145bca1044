#include "web/headers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zv::web {
namespace {

const std::string kUrl = "http://example.test/page?id=1";
const std::string kUserAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

TEST(ComposeRequestHeaders, AddsTheMissingDefaultLinesInOrder) {
  struct Case {
    std::string block;
    bool withUserAgent;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"", true,
       "Accept: */*\r\nReferer: " + kUrl + "\r\nAccept-Language: zh-cn\r\n" + kUserAgentLine +
           "\r\nContent-Type: application/x-www-form-urlencoded"},
      {"", false,
       "Accept: */*\r\nReferer: " + kUrl +
           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      // The tests are case-sensitive: a lower-case line does not count.
      {"accept: text/html", false,
       "accept: text/html\r\nAccept: */*\r\nReferer: " + kUrl +
           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      // The tests are not anchored to line starts.
      {"X-Accept: 1", false,
       "X-Accept: 1\r\nReferer: " + kUrl +
           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      {"User-Agent: Bot/1", true,
       "User-Agent: Bot/1\r\nAccept: */*\r\nReferer: " + kUrl +
           "\r\nAccept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded"},
      {"Referer: http://other.test/", true,
       "Referer: http://other.test/\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n" + kUserAgentLine +
           "\r\nContent-Type: application/x-www-form-urlencoded"},
      {"X-Note: Content-Type: none\r\nAccept: text/plain", false,
       "X-Note: Content-Type: none\r\nAccept: text/plain\r\nReferer: " + kUrl +
           "\r\nAccept-Language: zh-cn"},
      {"Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nUser-Agent: u\r\nContent-Type: c", true,
       "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nUser-Agent: u\r\nContent-Type: c"},
  };
  for (const Case& c : cases) {
    std::string block = c.block;
    ComposeRequestHeaders(block, kUrl, c.withUserAgent);
    EXPECT_EQ(block, c.expected) << "block: " << c.block << " withUserAgent: " << c.withUserAgent;
  }
}

TEST(SplitHeaderLine, GivesTheTrimmedNameAndValue) {
  struct Case {
    std::string line;
    std::string name;
    std::string value;
  };
  const std::vector<Case> cases = {
      {"no colon here", "", ""},
      {"", "", ""},
      {"Referer: http://example.test:8080/a?b=c", "Referer", "http://example.test:8080/a?b=c"},
      {"  Name  :   value  ", "Name", "value"},
      {"Name:", "Name", ""},
      {": value", "", "value"},
      {"\xA1\xA1Name\xA1\xA1:\xA1\xA1v\xA1\xA1", "Name", "v"},  // ideographic spaces are blanks
      {"Name:\tv\r", "Name", "\tv\r"},                          // tabs and CR are not
  };
  for (const Case& c : cases) {
    const auto [name, value] = SplitHeaderLine(c.line);
    EXPECT_EQ(name, c.name) << c.line;
    EXPECT_EQ(value, c.value) << c.line;
  }
}

TEST(CollectSetCookies, CollectsTheEntriesAndNormalisesTheName) {
  struct Case {
    std::string headers;
    std::string cookies;
    std::string normalised;
  };
  const std::vector<Case> cases = {
      {"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n", "",
       "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n"},
      {"", "", ""},
      {"set-cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n", "a=1; b=2",
       "Set-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n"},
      {"SET-COOKIE:  c=3 ;Path=/", "c=3", "Set-Cookie:  c=3 ;Path=/"},
      {"set-COOKIE:g=7", "g=7", "Set-Cookie:g=7"},
      {"Set-Cookie: e=5; Path=/\r\nX-Other: 1\r\nSet-Cookie: f=6; HttpOnly\r\n\r\n", "e=5; f=6",
       "Set-Cookie: e=5; Path=/\r\nX-Other: 1\r\nSet-Cookie: f=6; HttpOnly\r\n\r\n"},
      // "Set-Cookie" inside another header's text still makes a cookie line.
      {"X-Note: about Set-Cookie handling", "X-Note: about Set-Cookie handling",
       "X-Note: about Set-Cookie handling"},
      {"X-Note: Set-Cookie; here\r\nSet-Cookie: d=4", "; d=4",
       "X-Note: Set-Cookie; here\r\nSet-Cookie: d=4"},
      {"Set-Cookie: n=\xD6\xD0\xCE\xC4; path=/", "n=\xD6\xD0\xCE\xC4",
       "Set-Cookie: n=\xD6\xD0\xCE\xC4; path=/"},
  };
  for (const Case& c : cases) {
    std::string headers = c.headers;
    EXPECT_EQ(CollectSetCookies(headers), c.cookies) << c.headers;
    EXPECT_EQ(headers, c.normalised) << c.headers;
  }
}

TEST(MergeCookies, PutsNewEntriesFirstAndDropsDeletedAndRepeated) {
  struct Case {
    std::string cookies;
    std::string newCookies;
    std::string merged;
    std::string newAfter;
  };
  const std::vector<Case> cases = {
      {"a=1; b=2", "b=3; c=4", "b=3; c=4; a=1", "b=3;c=4"},
      {"s=1; x=5", "x=deleted", "s=1", "x=deleted"},
      {"", "a=1; a=1", "a=1", "a=1;a=1"},
      {"", "", "", ""},
      {"a = 1; b=2", "a=9", "a=9; b=2", "a=9"},
      {"a=1; a=1", "", "a=1", ""},
      {"a=1", "a=2; a=3", "a=2; a=3", "a=2;a=3"},  // new entries are not merged by name
      {"k; j=1", "", "k; j=1", ""},                // an entry without "=" is its own name
      {"k=1", "=deleted; deleted", "deleted; k=1", "=deleted;deleted"},
      {"a=1;b=2", "c=3;", "c=3; a=1; b=2", "c=3;"},
      {"A=1", "a=2", "a=2; A=1", "a=2"},  // names are case-sensitive
      {"a=\xA1\xA1"
       "1",
       "", "a=1", ""},
      {"a=1;;b=2", "", "a=1; ; b=2", ""},  // an empty entry stays an entry
  };
  for (const Case& c : cases) {
    std::string cookies = c.cookies;
    std::string newCookies = c.newCookies;
    EXPECT_EQ(MergeCookies(cookies, newCookies), c.merged) << c.cookies << " + " << c.newCookies;
    EXPECT_EQ(cookies, c.merged) << c.cookies << " + " << c.newCookies;
    EXPECT_EQ(newCookies, c.newAfter) << c.cookies << " + " << c.newCookies;
  }
}

}  // namespace
}  // namespace zv::web
