#include "text/codepage.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace zv::text {
namespace {

using namespace std::string_literals;

const std::string kMeishiGbk = "\xC3\xC0\xCA\xB3";           // 美食
const std::string kMeishiUtf8 = "\xE7\xBE\x8E\xE9\xA3\x9F";  // 美食

TEST(CodePageTest, ConvertsUtf8ToGbk) {
  struct Case {
    std::string_view label;
    std::string utf8;
    Text gbk;
  };
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"ascii", "<a href=\"x\">\r\n", "<a href=\"x\">\r\n"},
      {"chinese", kMeishiUtf8, kMeishiGbk},
      {"mixed", "a" + kMeishiUtf8 + "b", "a" + kMeishiGbk + "b"},
      {"full-width colon", "\xEF\xBC\x9A", "\xA3\xBA"},
      {"ideographic space", "\xE3\x80\x80", "\xA1\xA1"},
      {"emoji",
       "a\xF0\x9F\x98\x80"
       "b",
       "a?b"},
      {"two emoji", "\xF0\x9F\x98\x80\xF0\x9F\x98\x81", "??"},
      {"no GBK form", "\xE2\x82\xA9", "?"},  // won sign
      {"lone continuation",
       "a\x80"
       "b",
       "a?b"},
      {"invalid byte", "\xFF", "?"},
      {"truncated sequence",
       "\xE7\xBE"
       "A",
       "?A"},
      {"truncated at the end", "A\xE7\xBE", "A?"},
      {"truncated before a character", "\xE7\xBE" + kMeishiUtf8, "?" + kMeishiGbk},
      {"overlong", "\xC0\xAF", "??"},
      {"surrogate", "\xED\xA0\x80", "???"},
      {"zero byte", "ab\0"s + kMeishiUtf8, "ab"},
      {"zero at the start", "\0ab"s, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToGbk(c.utf8), c.gbk) << c.label;
    EXPECT_EQ(FromWide(ToWide(c.utf8, CodePage::Utf8), CodePage::Gbk), c.gbk) << c.label;
  }
}

TEST(CodePageTest, ConvertsGbkToUtf8) {
  struct Case {
    std::string_view label;
    Text gbk;
    std::string utf8;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  const std::vector<Case> cases = {
      {"empty", "", ""},
      {"chinese", "x" + kMeishiGbk + "y", "x" + kMeishiUtf8 + "y"},
      {"ASCII trail byte", "\x81\x40", "\xE4\xB8\x82"},  // 丂
      {"euro", "\x80", "\xE2\x82\xAC"},
      {"lead without trail", "\x81 a", replacement + " a"},
      {"lead at the end", "a\x81", "a" + replacement},
      {"invalid byte", "\xFF", replacement},
      {"zero byte", "a\0b"s, "a"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GbkToUtf8(c.gbk), c.utf8) << c.label;
    EXPECT_EQ(FromWide(ToWide(c.gbk, CodePage::Gbk), CodePage::Utf8), c.utf8) << c.label;
  }
}

TEST(CodePageTest, ConvertsWideText) {
  EXPECT_EQ(ToWide(kMeishiGbk, CodePage::Gbk), u"美食");
  EXPECT_EQ(ToWide(kMeishiUtf8, CodePage::Utf8), u"美食");
  EXPECT_EQ(ToWide("\xFF"
                   "a",
                   CodePage::Utf8),
            u"\uFFFDa");
  EXPECT_EQ(ToWide("a\0b"s, CodePage::Gbk), u"a");
  EXPECT_EQ(FromWide(u"美食", CodePage::Gbk), kMeishiGbk);
  EXPECT_EQ(FromWide(u"美食", CodePage::Utf8), kMeishiUtf8);
  EXPECT_EQ(FromWide(u"a\0b"s, CodePage::Utf8), "a");
  // A surrogate pair is one character, so one "?".
  EXPECT_EQ(FromWide(u"a\U0001F600b", CodePage::Gbk), "a?b");
  EXPECT_EQ(FromWide(u"a\U0001F600b", CodePage::Utf8),
            "a\xF0\x9F\x98\x80"
            "b");
  const std::u16string loneSurrogate = {u'a', char16_t{0xD800}, u'b'};
  EXPECT_EQ(FromWide(loneSurrogate, CodePage::Gbk), "a?b");
  EXPECT_EQ(FromWide(loneSurrogate, CodePage::Utf8),
            "a\xEF\xBF\xBD"
            "b");
}

// Every double-byte GBK character that maps survives the way to UTF-8 and
// back, also where it meets ASCII runs.
TEST(CodePageTest, RoundTripsEveryGbkCharacter) {
  Text all;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const Text character{static_cast<char>(lead), static_cast<char>(trail)};
      if (GbkToUtf8(character) == "\xEF\xBF\xBD") continue;  // no Unicode form
      all += character;
      if (trail % 7 == 0) all += "ab";
    }
  }
  const std::string utf8 = GbkToUtf8(all);
  EXPECT_EQ(Utf8ToGbk(utf8), all);
  EXPECT_EQ(FromWide(ToWide(all, CodePage::Gbk), CodePage::Utf8), utf8);
}

TEST(CodePageTest, ConvertsOnManyThreadsAtOnce) {
  const std::string page = "<li>" + kMeishiUtf8 + "\xF0\x9F\x98\x80</li>\n";
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int& failure : failures) {
    threads.emplace_back([&page, &failure] {
      for (int i = 0; i < 500; ++i) {
        if (Utf8ToGbk(page) != "<li>" + kMeishiGbk + "?</li>\n") ++failure;
        if (GbkToUtf8(kMeishiGbk) != kMeishiUtf8) ++failure;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(CodePageTest, GbkSpellsFixedTexts) { EXPECT_EQ(Gbk("美食"), kMeishiGbk); }

}  // namespace
}  // namespace zv::text
