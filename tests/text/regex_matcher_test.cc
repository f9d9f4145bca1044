#include "text/regex_matcher.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/fixtures.h"
#include "text/codepage.h"

namespace zv::text {
namespace {

std::string Spaces(size_t n) { return std::string(n, ' '); }

// The seven detail-page field patterns (GBK), in the order a worker applies them.
std::vector<Text> DetailFieldPatterns() {
  return {
      Gbk("<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">"
          ".*?([\\s\\S]*?).*?<i class=\"wxqicon_1 weixinqunICON\">\n"),
      Gbk("/.*?&amp;t=.*?\">\n" + Spaces(44) + "(.*?)\n" + Spaces(40) + "</a>"),
      Gbk("时间：\n" + Spaces(44) + "(.*?)\n" + Spaces(36) + "</li>\n"),
      Gbk("地区：\n" + Spaces(40) + "<a href=\".*?&amp;m=.*?\">\n" + Spaces(44) + "(.*?)\n" +
          Spaces(40) + "</a>\n"),
      Gbk("标签：\n" + Spaces(40) + "\n" + Spaces(40) + "\n" + Spaces(40) + "<a href=\"\">\n" +
          Spaces(44) + "(.*?)\n" + Spaces(40) + "</a>"),
      Gbk("微信号：\n" + Spaces(40) + "</span>\n" + Spaces(40) +
          "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" + Spaces(43) +
          "(.*?)\n" + Spaces(40) + "</span>\n" + Spaces(36) + "\n" + Spaces(32) + "</li>"),
      Gbk("<img src=\"(http://img2.*?)\">"),
  };
}

TEST(RegexMatcherTest, StartsEmpty) {
  RegexMatcher matcher;
  EXPECT_EQ(matcher.PatternText(), "");
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.SubmatchCount(), 0);
  EXPECT_EQ(matcher.MatchText(1), "");
  EXPECT_EQ(matcher.ReplaceMatches("x"), "");
}

TEST(RegexMatcherTest, MatchesInTheScriptDialect) {
  struct Case {
    std::string_view label;
    Text pattern, subject;
    SearchOptions options;
    std::vector<Text> matches;
  };
  const std::vector<Case> cases = {
      {"empty subject", "a(b)", "", {}, {}},
      {"ignores case by default", "<em>", "x<EM>y", {}, {"<EM>"}},
      {"case-sensitive", "<em>", "x<EM>y", {.caseSensitive = true}, {}},
      {"global", "a.", "a1a2a3", {}, {"a1", "a2", "a3"}},
      {"global off", "a.", "a1a2a3", {.global = false}, {"a1"}},
      {"dot takes CR", "a.b", "a\rb", {}, {"a\rb"}},
      {"dot stops at LF", "a.b", "a\nb", {}, {}},
      {"any character crosses LF", "a[\\s\\S]b", "a\nb", {}, {"a\nb"}},
      {"white space classes", "\\s\\S", "\r\nx", {}, {"\nx"}},
      {"lazy repetition", "<b>.*?</b>", "<b>1</b><b>2</b>", {}, {"<b>1</b>", "<b>2</b>"}},
      {"greedy repetition", "<b>.*</b>", "<b>1</b><b>2</b>", {}, {"<b>1</b><b>2</b>"}},
      {"multi-line anchors", "^b$", "a\nb\nc", {}, {"b"}},
      {"single-line anchors", "^b$", "a\nb\nc", {.multiLine = false}, {}},
      {"dollar only at the end", "b$", "b\n", {.multiLine = false}, {}},
      {"non-ASCII literal",
       Gbk("来自：(.*?)<"),
       Gbk("<span>来自：网友</span>"),
       {},
       {Gbk("来自：网友<")}},
      {"counted spaces",
       "x\n" + Spaces(4) + "(.*?)\n",
       "x\n   v\nx\n     w\n",
       {},
       {"x\n     w\n"}},
      {"full-width letters fold", Gbk("ａ"), Gbk("Ａ"), {}, {Gbk("Ａ")}},
      {"unicode escape", "\\u7F8E", Gbk("美食"), {}, {Gbk("美")}},
      {"invalid GBK becomes ?",
       "a.b",
       "a\xFF"
       "b",
       {},
       {"a?b"}},
      {"zero byte ends the subject", "b", std::string("ab\0b", 4), {}, {"b"}},
      // An empty match moves on by one character, never retrying the same spot.
      {"empty matches", "x*", Gbk("a美"), {}, {"", "", ""}},
      {"empty alternative first", "x*|b", "b", {}, {"", ""}},
  };
  for (const Case& c : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Search(c.pattern, c.subject, c.options)) << c.label;
    std::vector<Text> matches;
    for (int k = 1; k <= matcher.MatchCount(); ++k) matches.push_back(matcher.MatchText(k));
    EXPECT_EQ(matches, c.matches) << c.label;
    EXPECT_EQ(matcher.LastError(), "") << c.label;
  }
}

TEST(RegexMatcherTest, ReadsGroups) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Search("(\\w+)=(\\d+)?(;)?", "a=1; b=;"));
  ASSERT_EQ(matcher.MatchCount(), 2);
  EXPECT_EQ(matcher.SubmatchCount(), 3);
  struct Case {
    int k, g;
    Text expected;
  };
  const std::vector<Case> cases = {
      {1, 1, "a"}, {1, 2, "1"}, {1, 3, ";"}, {2, 1, "b"}, {2, 2, ""},  // took no part
      {2, 3, ";"}, {1, 4, ""},  {1, 0, ""},  {3, 1, ""},  {0, 1, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(matcher.SubmatchText(c.k, c.g), c.expected) << c.k << "," << c.g;
  }
}

TEST(RegexMatcherTest, EscapesQuotesOnRequest) {
  const Text pattern = Gbk("id=#引号(.*?)#引号");
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Search(pattern, "id=\"x1\"", {.quoteEscape = true}));
  EXPECT_EQ(matcher.SubmatchText(1, 1), "x1");
  EXPECT_EQ(matcher.PatternText(), "id=\"(.*?)\"");

  ASSERT_TRUE(matcher.Search(pattern, "id=\"x1\""));
  EXPECT_EQ(matcher.MatchCount(), 0);
  ASSERT_TRUE(matcher.Search(pattern, Gbk("id=#引号x2#引号")));
  EXPECT_EQ(matcher.SubmatchText(1, 1), "x2");
  EXPECT_EQ(matcher.PatternText(), pattern);
}

TEST(RegexMatcherTest, NextSearchDiscardsTheLastOne) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Search("(a)", "aa"));
  ASSERT_EQ(matcher.MatchCount(), 2);

  EXPECT_FALSE(matcher.Search("(a", "aa"));
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.SubmatchCount(), 0);
  EXPECT_EQ(matcher.SubmatchText(1, 1), "");
  EXPECT_EQ(matcher.ReplaceMatches("x"), "");
  EXPECT_EQ(matcher.PatternText(), "(a");
  EXPECT_NE(matcher.LastError(), "");

  ASSERT_TRUE(matcher.Search("b", "aa"));
  EXPECT_EQ(matcher.MatchCount(), 0);
  EXPECT_EQ(matcher.LastError(), "");
}

// The compiled pattern and the converted subject are reused only when they fit.
TEST(RegexMatcherTest, ReusesNothingThatDiffers) {
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Search("b", "ABC"));
  EXPECT_EQ(matcher.MatchCount(), 1);
  ASSERT_TRUE(matcher.Search("b", "ABC", {.caseSensitive = true}));
  EXPECT_EQ(matcher.MatchCount(), 0);
  ASSERT_TRUE(matcher.Search("b", "xyz"));
  EXPECT_EQ(matcher.MatchCount(), 0);
  ASSERT_TRUE(matcher.Search("y", "xyz"));
  EXPECT_EQ(matcher.MatchText(1), "y");
  for (int i = 0; i < 100; ++i) ASSERT_TRUE(matcher.Search("p" + std::to_string(i), "p1"));
  ASSERT_TRUE(matcher.Search("b", "ABC"));
  EXPECT_EQ(matcher.MatchCount(), 1);
}

TEST(RegexMatcherTest, ReportsPositionsInTheGbkSubject) {
  const Text subject = Gbk("美食abc美食abc");
  RegexMatcher matcher;
  ASSERT_TRUE(matcher.Search("(b)c", subject));
  int position = 0;
  EXPECT_EQ(matcher.MatchText(1, &position), "bc");
  EXPECT_EQ(position, 5);
  EXPECT_EQ(matcher.MatchText(2, &position), "bc");
  EXPECT_EQ(position, 12);
  EXPECT_EQ(matcher.SubmatchText(2, 1, &position), "b");
  EXPECT_EQ(position, 12);
  EXPECT_EQ(matcher.MatchText(3, &position), "");
  EXPECT_EQ(position, -2);

  // Matches ignore case, and so does the search for their text.
  ASSERT_TRUE(matcher.Search(Gbk("食A"), Gbk("美食a")));
  EXPECT_EQ(matcher.MatchText(1, &position), Gbk("食a"));
  EXPECT_EQ(position, 2);

  // A group is sought from the start of its match: the first "a" of "aXa".
  ASSERT_TRUE(matcher.Search("aX(a)", "aXa"));
  EXPECT_EQ(matcher.SubmatchText(1, 1, &position), "a");
  EXPECT_EQ(position, 0);
}

TEST(RegexMatcherTest, ReplacesMatches) {
  struct Case {
    std::string_view label;
    Text pattern, subject, replacement;
    SearchOptions options;
    Text expected;
  };
  const std::vector<Case> cases = {
      {"removes", "<em>", "a<EM>b<em>", "", {}, "ab"},
      {"groups", "(\\w+)@(\\w+)", "x@y, p@q", "$2.$1", {}, "y.x, q.p"},
      {"first only", "\\d", "a1b2", "#", {.global = false}, "a#b2"},
      {"special references", "b", "abc", "[$$|$&|$`|$']", {}, "a[$|b|a|c]c"},
      {"missing group stays literal", "(b)", "abc", "$2$1$", {}, "a$2b$c"},
      {"two-digit reference", "(a)", "a", "$10", {}, "a0"},
      {"non-ASCII", Gbk("美(食)"), Gbk("美食群"), Gbk("$1品"), {}, Gbk("食品群")},
      {"no match", "z", "abc", "x", {}, "abc"},
      {"empty matches", "x*", "ab", "-", {}, "-a-b-"},
  };
  for (const Case& c : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.Search(c.pattern, c.subject, c.options)) << c.label;
    EXPECT_EQ(matcher.ReplaceMatches(c.replacement), c.expected) << c.label;
  }
}

TEST(RegexMatcherTest, ReadsTheFieldsOfADetailPage) {
  const Text page = Utf8ToGbk(zv::testing::ReadFixture("text_detail_page.html"));
  const std::vector<Text> expected = {
      Gbk("群介绍：美食爱好者交流\n" + Spaces(40) + "</span>\n"),
      Gbk("美食"),
      "2024-01-02",
      Gbk("北京"),
      Gbk("吃货"),
      "abc123",
      "http://img2.example/qr.png",
  };
  const std::vector<Text> patterns = DetailFieldPatterns();
  RegexMatcher matcher;
  for (size_t i = 0; i < patterns.size(); ++i) {
    ASSERT_TRUE(matcher.Search(patterns[i], page)) << "pattern " << i + 1;
    EXPECT_EQ(matcher.SubmatchText(1, 1), expected[i]) << "pattern " << i + 1;
  }
}

TEST(RegexMatcherTest, ReadsTheEntriesOfASearchPage) {
  const Text page =
      Gbk("<a rpos=\"\" cpos=\"title\" href=\"/q/1\" target=\"_blank\">\r\n"
          "  <EM>美食</EM>群\r\n</a>\r\n<span>来自：网友</span>\r\n"
          "<a rpos=\"\" cpos=\"title\" href=\"/q/2?a=1&amp;b=2\" target=\"_blank\">\r\n"
          "二群\r\n</a>\r\n");
  RegexMatcher title;
  ASSERT_TRUE(title.Search(
      "<a rpos=\"\" cpos=\"title\" href=\"(.*?)\" target=\"_blank\">\r\n(.*?)\r\n.*?</a>\r", page));
  ASSERT_EQ(title.MatchCount(), 2);
  EXPECT_EQ(title.SubmatchText(1, 1), "/q/1");
  EXPECT_EQ(title.SubmatchText(1, 2), Gbk("  <EM>美食</EM>群"));
  EXPECT_EQ(title.SubmatchText(2, 1), "/q/2?a=1&amp;b=2");
  EXPECT_EQ(title.SubmatchText(2, 2), Gbk("二群"));
  RegexMatcher source;
  ASSERT_TRUE(source.Search(Gbk("<span>来自：(.*?)</span>"), page));
  EXPECT_EQ(source.SubmatchText(1, 1), Gbk("网友"));
}

// Ten megabytes of openings that never close: every field pattern gives up
// with no match instead of running for minutes.
TEST(RegexMatcherTest, GivesUpOnNearMisses) {
  const std::vector<std::string> nearMisses = {
      "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">x\n",
      "/a&amp;t=b\">\n" + Spaces(44) + "v\n",
      "时间：\n" + Spaces(44) + "v\n",
      "地区：\n" + Spaces(40) + "<a href=\"a&amp;m=b\">\n" + Spaces(44) + "v\n",
      "标签：\n" + Spaces(40) + "\n" + Spaces(40) + "\n" + Spaces(40) + "<a href=\"\">\n",
      "微信号：\n" + Spaces(40) + "</span>\n" + Spaces(40) +
          "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" + Spaces(43) +
          "v\n",
      "<img src=\"http://img2/a.png\" >",
  };
  const std::vector<Text> patterns = DetailFieldPatterns();
  RegexMatcher matcher;
  for (size_t i = 0; i < patterns.size(); ++i) {
    const Text unit = Gbk(nearMisses[i]);
    Text page;
    while (page.size() < 10 * 1024 * 1024) page += unit;
    const bool ran = matcher.Search(patterns[i], page);
    EXPECT_EQ(matcher.MatchCount(), 0) << "pattern " << i + 1;
    EXPECT_EQ(matcher.SubmatchText(1, 1), "") << "pattern " << i + 1;
    EXPECT_EQ(ran, matcher.LastError().empty()) << "pattern " << i + 1;
  }
  // The description pattern backtracks without end, so it hits the limit.
  const Text unit = Gbk(nearMisses[0]);
  Text page;
  while (page.size() < 10 * 1024 * 1024) page += unit;
  EXPECT_FALSE(matcher.Search(patterns[0], page));
  EXPECT_NE(matcher.LastError().find("limit"), std::string::npos) << matcher.LastError();
}

TEST(RegexMatcherTest, WorksOnManyThreadsAtOnce) {
  const Text page = Utf8ToGbk(zv::testing::ReadFixture("text_detail_page.html"));
  std::vector<int> found(4, 0);
  std::vector<std::thread> threads;
  for (int& count : found) {
    threads.emplace_back([&page, &count] {
      const std::vector<Text> patterns = DetailFieldPatterns();
      RegexMatcher matcher;
      for (int round = 0; round < 20; ++round) {
        for (const Text& pattern : patterns) {
          if (matcher.Search(pattern, page) && matcher.MatchCount() == 1) ++count;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(found, std::vector<int>(4, 20 * 7));
}

}  // namespace
}  // namespace zv::text
