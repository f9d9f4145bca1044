#include "harvest/search_page.h"

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "text/codepage.h"

namespace zv::harvest {
namespace {

using text::Gbk;

Bytes AsBytes(const std::string& raw) { return Bytes(raw.begin(), raw.end()); }

TEST(BuildSearchUrl, PagesAndFilters) {
  struct Case {
    const char* keyword;
    int page;
    TimeFilter filter;
    const char* url;
  };
  const Case cases[] = {
      {"a", 1, TimeFilter::WithinDay,
       "http://h:1/cse/search?q=a&p=0&s=1626844590849882386&sti=1440&nsid=0&entry=1"},
      {"a", 3, TimeFilter::WithinWeek,
       "http://h:1/cse/search?q=a&p=2&s=1626844590849882386&sti=10080&nsid=0&entry=1"},
      {"a", 12, TimeFilter::WithinMonth,
       "http://h:1/cse/search?q=a&p=11&s=1626844590849882386&sti=43200&nsid=0&entry=1"},
      {"a", 1, TimeFilter::AllTime,
       "http://h:1/cse/search?q=a&p=0&s=1626844590849882386&nsid=0&entry=1"},
      {"", 1, TimeFilter::AllTime,
       "http://h:1/cse/search?q=&p=0&s=1626844590849882386&nsid=0&entry=1"},
      {"美食", 2, TimeFilter::WithinDay,
       "http://h:1/cse/search?q=%E7%BE%8E%E9%A3%9F&p=1&s=1626844590849882386&sti=1440&nsid=0&"
       "entry=1"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(BuildSearchUrl("http://h:1", Gbk(c.keyword), c.page, c.filter), c.url) << c.url;
}

TEST(UrlEncode, Options) {
  struct Case {
    const char* utf8;
    bool keepUnreserved;
    bool toUtf8;
    const char* encoded;
  };
  const Case cases[] = {
      {"美食", true, true, "%E7%BE%8E%E9%A3%9F"},
      {"美食", true, false, "%C3%C0%CA%B3"},  // the GBK bytes as they are
      {"a-Z.9", true, true, "a-Z.9"},
      {" _~/", true, true, "%20%5F%7E%2F"},
      {"a-.", false, false, "%61%2D%2E"},
      {"", true, true, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UrlEncode(Gbk(c.utf8), c.keepUnreserved, c.toUtf8), c.encoded) << c.utf8;
}

TEST(Utf8BytesToText, DecodesCutsAndReplaces) {
  struct Case {
    std::string utf8;
    std::string gbkAsUtf8;
  };
  const Case cases[] = {
      {"", ""},
      {"美食 abc", "美食 abc"},
      {std::string("ab\0cd", 5), "ab"},
      {"x\xF0\x9F\x98\x80y", "x?y"},  // no GBK form
      {"x\xFFy", "x?y"},              // not UTF-8
  };
  for (const Case& c : cases)
    EXPECT_EQ(text::GbkToUtf8(Utf8BytesToText(AsBytes(c.utf8))), c.gbkAsUtf8) << c.utf8;
}

struct RowTexts {
  std::string id, url, name, source;
};

std::vector<RowTexts> HarvestFixture(const std::string& fixture, ResultTable& table) {
  text::RegexMatcher title, source;
  HarvestSearchPage(Utf8BytesToText(AsBytes(testing::ReadFixture(fixture))), title, source, table);
  std::vector<RowTexts> rows;
  for (int r = 0; r < table.RowCount(); ++r) {
    auto cell = [&](ResultColumn c) { return text::GbkToUtf8(table.GetCell(r, c)); };
    rows.push_back({cell(ResultColumn::Id), cell(ResultColumn::Url), cell(ResultColumn::Name),
                    cell(ResultColumn::Source)});
  }
  return rows;
}

TEST(HarvestSearchPage, RowsFromThreeTitlesAndTwoSources) {
  ResultTable table;
  const auto rows = HarvestFixture("search_three_titles_two_sources.html", table);
  ASSERT_EQ(rows.size(), 3u);
  // EM markers of any case, quotes and the "?" of undecodable characters go;
  // blanks and ideographic spaces at the ends are trimmed, a tab stays.
  EXPECT_EQ(rows[0].name, "美食群");
  EXPECT_EQ(rows[1].name, "吃货美食分享\t");
  EXPECT_EQ(rows[2].name, "深夜食堂");
  EXPECT_EQ(rows[0].url, "http://127.0.0.1/detail/1.html?a=1&amp;b=2");
  EXPECT_EQ(rows[0].source, "微信群");
  EXPECT_EQ(rows[1].source, "公众号");
  EXPECT_EQ(rows[2].source, "");
  for (int r = 0; r < 3; ++r) {
    EXPECT_EQ(rows[r].id, std::to_string(r + 1));
    EXPECT_EQ(table.GetCell(r, ResultColumn::Status), "");
    EXPECT_EQ(table.GetCell(r, ResultColumn::Description), "");
  }
}

TEST(HarvestSearchPage, IdsContinueAcrossPages) {
  ResultTable table;
  HarvestFixture("search_three_titles_two_sources.html", table);
  const auto rows = HarvestFixture("search_three_titles_two_sources.html", table);
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[3].id, "4");
  EXPECT_EQ(rows[5].id, "6");
}

TEST(HarvestSearchPage, StopsAtZeroByte) {
  ResultTable table;
  const auto rows = HarvestFixture("search_zero_byte.html", table);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "第一");
  EXPECT_EQ(rows[0].source, "个人微信号");
}

TEST(HarvestSearchPage, EmptyOrForeignPagesAddNoRow) {
  for (const std::string page :
       {"", "<html><body>no entries</body></html>",
        "<a rpos=\"\" cpos=\"title\" href=\"x\" target=\"_blank\">\nx\n</a>\n"}) {
    ResultTable table;
    text::RegexMatcher title, source;
    HarvestSearchPage(page, title, source, table);
    EXPECT_EQ(table.RowCount(), 0) << page;
  }
}

TEST(HarvestSearchPage, RefusedAppendEndsThePage) {
  ResultTable table;
  text::RegexMatcher title, source;
  int offered = 0;
  const Text page =
      Utf8BytesToText(AsBytes(testing::ReadFixture("search_three_titles_two_sources.html")));
  HarvestSearchPage(page, title, source, [&](const auto&) {
    ++offered;
    return false;
  });
  EXPECT_EQ(offered, 1);
}

}  // namespace
}  // namespace zv::harvest
