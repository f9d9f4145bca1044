#include "text/text.h"

#include <gtest/gtest.h>

#include <climits>

#include "text/codepage.h"

namespace zv::text {
namespace {

// GBK bytes used below: B0 A1 is 啊, A1 A1 the ideographic space, A3 B1 the
// full-width digit one; 81 61 is a character whose trail byte is "a".
const Text kAh = "\xB0\xA1";
const Text kIdeographicSpace = "\xA1\xA1";

TEST(TextTest, ConvertsBetweenTextsAndBytes) {
  const Text withZero("ab\0cd", 5);
  EXPECT_EQ(TextToBytes("ab"), (Bytes{'a', 'b'}));
  const Bytes bytes{'x', 'y', 0, 'z'};
  EXPECT_EQ(BytesToText(bytes), "xy");
  EXPECT_EQ(BytesToText(Bytes{}), "");
  EXPECT_EQ(CutAtZero(withZero), "ab");
  EXPECT_EQ(CutAtZero("plain"), "plain");
}

TEST(TextTest, FindsByteSubstrings) {
  struct Case {
    std::string_view text, what;
    int start;
    bool ignoreCase;
    int expected;
  };
  const std::vector<Case> cases = {
      {"abcabc", "bc", 1, false, 2},     {"abcabc", "bc", 3, false, 5},
      {"abcabc", "bc", 0, false, 2},     {"abcabc", "bc", -5, false, 2},
      {"abcabc", "bc", 6, false, -1},    {"abcabc", "bc", 99, false, -1},
      {"abcabc", "", 1, false, -1},      {"", "a", 1, false, -1},
      {"abCabc", "BC", 1, false, -1},    {"abCabc", "BC", 1, true, 2},
      {"\xB0\xC1", "\xC1", 1, false, 2},  // byte-wise: a trail byte is found too
      {"\xC1\xE1", "\xC1", 1, true, 1},   // folding leaves non-ASCII bytes alone
      {"\xE1", "\xC1", 1, true, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Find(c.text, c.what, c.start, c.ignoreCase), c.expected)
        << c.text << " / " << c.what << " from " << c.start;
  }
  EXPECT_TRUE(Contains("Hello", "LL", true));
  EXPECT_FALSE(Contains("Hello", "LL"));
}

TEST(TextTest, TakesLeftAndRightBytes) {
  struct Case {
    int n;
    Text left, right;
  };
  const std::vector<Case> cases = {
      {-1, "", ""}, {0, "", ""}, {2, "ab", "de"}, {5, "abcde", "abcde"}, {9, "abcde", "abcde"}};
  for (const Case& c : cases) {
    EXPECT_EQ(Left("abcde", c.n), c.left) << c.n;
    EXPECT_EQ(Right("abcde", c.n), c.right) << c.n;
  }
}

TEST(TextTest, SplitsAtDelimiters) {
  struct Case {
    std::string_view text, delimiter;
    std::vector<Text> expected;
  };
  const std::vector<Case> cases = {
      {"", "\r\n", {}},
      {"a", "\r\n", {"a"}},
      {"a\r\nb", "\r\n", {"a", "b"}},
      {"a\r\nb\r\n", "\r\n", {"a", "b"}},
      {"a\r\n\r\nb", "\r\n", {"a", "", "b"}},
      {"\r\n", "\r\n", {""}},
      {"\r\na", "\r\n", {"", "a"}},
      {"a,b", "", {"a,b"}},
  };
  for (const Case& c : cases) EXPECT_EQ(Split(c.text, c.delimiter), c.expected) << c.text;
}

TEST(TextTest, TrimsAndRemovesBlanks) {
  struct Case {
    Text text, trimmedSpaces, trimmedBlanks, withoutSpaces;
  };
  const Text space = kIdeographicSpace;
  const std::vector<Case> cases = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"  ab c  ", "ab c", "ab c", "abc"},
      {space + " ab" + space, "ab", space + " ab" + space, "ab"},
      {"\tab\r\n", "\tab\r\n", "\tab\r\n", "\tab\r\n"},
      {" \t ab \t ", "\t ab \t", "\t ab \t", "\tab\t"},
      // 啊 followed by an ideographic space: the space goes, 啊 stays whole.
      {kAh + space, kAh, kAh + space, kAh},
      // D7 A1 is one character; the A1 A1 straddling its trail byte is no blank.
      {"\xD7\xA1\xA1", "\xD7\xA1\xA1", "\xD7\xA1\xA1", "\xD7\xA1\xA1"},
      {space + kAh + " " + space + kAh, kAh + " " + space + kAh, space + kAh + " " + space + kAh,
       kAh + kAh},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimSpaces(c.text), c.trimmedSpaces) << c.text;
    EXPECT_EQ(TrimBlanks(c.text), c.trimmedBlanks) << c.text;
    EXPECT_EQ(RemoveAllSpaces(c.text), c.withoutSpaces) << c.text;
  }
}

TEST(TextTest, LowersAsciiLettersOnly) {
  EXPECT_EQ(ToLowerAscii("AbC-Z[@\xC1\xD3"), "abc-z[@\xC1\xD3");
}

TEST(TextTest, ReadsIntegerValues) {
  struct Case {
    Text text;
    int expected;
  };
  const std::vector<Case> cases = {
      {"", 0},
      {"abc", 0},
      {"3" + Gbk("页"), 3},
      {"  -42x", -42},
      {"+7", 7},
      {"\t\r\n12", 12},
      {"1 2", 1},
      {"- 3", 0},
      {"007", 7},
      {Gbk("１２３"), 123},
      {Gbk("　－５页"), -5},
      {Gbk("＋８") + "9", 89},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"99999999999999999999", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(IntegerValue(c.text), c.expected) << c.text;
}

TEST(TextTest, TakesTextBetweenMarkers) {
  struct Case {
    Text text, startMarker, endMarker;
    int start;
    bool ignoreCase;
    Text expected;
  };
  const Text quote = Gbk("#引号");
  const std::vector<Case> cases = {
      {"a[x]b[y]", "[", "]", 1, false, "x"},
      {"a[x]b[y]", "[", "]", 4, false, "y"},
      {"a[x]b[y]", "{", "]", 1, false, ""},
      {"a[x", "[", "]", 1, false, ""},
      {"a[]", "[", "]", 1, false, ""},
      {"aXXbXX", "XX", "XX", 1, false, "b"},  // the end marker is sought after the start marker
      {"<B>v</b>", "<b>", "</B>", 1, false, ""},
      {"<B>v</b>", "<b>", "</B>", 1, true, "v"},
      {"name=\"v1\"; x", "name=" + quote, quote, 1, false, "v1"},
      {"name=" + quote + "v1" + quote, "name=" + quote, quote, 1, false, ""},
      {"name=\"v1\"", "name=" + Gbk("#引號"), "\"", 1, false, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextBetween(c.text, c.startMarker, c.endMarker, c.start, c.ignoreCase), c.expected)
        << c.text << " " << c.startMarker << " " << c.endMarker;
  }
}

TEST(TextTest, ReplacesPairsAtCharacterBoundaries) {
  struct Case {
    std::string_view label;
    Text text;
    std::vector<ReplacePair> pairs;
    ReplaceOptions options;
    Text expected;
  };
  // Pairs only view their texts, so each one lives as long as the table.
  const Text space40(40, ' ');
  const Text meishi = Gbk("美食");
  const std::vector<Case> cases = {
      {"all, ignoring case", "a<EM>b</em>c<em>", {{"<em>", ""}, {"</em>", ""}}, {}, "abc"},
      {"case-sensitive", "a<EM>b<em>", {{"<em>", ""}}, {.caseSensitive = true}, "a<EM>b"},
      {"count", "xaxaxa", {{"a", "-"}}, {.count = 2}, "x-x-xa"},
      {"count zero", "xaxa", {{"a", "-"}}, {.count = 0}, "xaxa"},
      {"start", "axaxa", {{"a", "-"}}, {.start = 2}, "ax-x-"},
      {"start zero", "axa", {{"a", "-"}}, {.start = 0}, "-x-"},
      {"empty search", "abc", {{"", "zz"}, {"b", "B"}}, {}, "aBc"},
      {"pairs chain", "abc", {{"a", "b"}, {"b", "c"}}, {}, "ccc"},
      {"no rescan", "aaa", {{"a", "aa"}}, {}, "aaaaaa"},
      {"runs of forty",
       std::string(44, ' ') + "|" + std::string(80, ' '),
       {{space40, ""}},
       {},
       "    |"},
      {"spaces beside a tag stay", "a </SPAN> b", {{"</span>", ""}}, {}, "a  b"},
      // 啊 then an ideographic space: A1 A1 at offset 1 straddles two characters.
      {"not from a trail byte", kAh + kIdeographicSpace, {{kIdeographicSpace, "_"}}, {}, kAh + "_"},
      {"not across a character end", kAh, {{"\xB0", "_"}}, {}, kAh},
      {"trail byte is no letter",
       "\x81\x61"
       "a",
       {{"A", "_"}},
       {},
       "\x81\x61_"},
      {"trail byte never folds", "\x81\x41", {{"\x81\x61", "_"}}, {}, "\x81\x41"},
      {"start inside a character", kAh + "\xA1\xA1", {{"\xA1\xA1", "_"}}, {.start = 2}, kAh + "_"},
      {"non-ASCII search", Gbk("美食群美食"), {{meishi, "x"}}, {}, "x" + Gbk("群") + "x"},
      {"question marks", "a?b??", {{"?", ""}}, {}, "ab"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReplacePairs(c.text, c.pairs, c.options), c.expected) << c.label;
  }
}

TEST(TextTest, ExpandsQuoteMarkers) {
  EXPECT_EQ(ExpandQuoteMarkers(Gbk("a#引号b#引号")), "a\"b\"");
  EXPECT_EQ(ExpandQuoteMarkers(Gbk("#引號")), Gbk("#引號"));
}

}  // namespace
}  // namespace zv::text
