// The demo site's pages as the harvest reads them: its search pages through
// HarvestSearchPage, its detail pages through ExtractDetailCells.
#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <vector>

#include "demo-site/demo_content.h"
#include "demo-site/demo_pages.h"
#include "demo-site/demo_site.h"
#include "harvest/detail_worker.h"
#include "harvest/result_table.h"
#include "harvest/search_page.h"
#include "text/codepage.h"
#include "text/regex_matcher.h"

namespace zv::demo {
namespace {

using harvest::ResultColumn;
using text::Gbk;

// The page at `url` (an address of `site`), decoded as the harvest decodes it.
text::Text FetchPageText(const DemoSite& site, const std::string& url) {
  EXPECT_TRUE(url.starts_with(site.BaseUrl())) << url;
  httplib::Client client("127.0.0.1", site.Port());
  const auto response = client.Get(url.substr(site.BaseUrl().size()));
  if (!response) return {};
  return harvest::Utf8BytesToText(text::Bytes(response->body.begin(), response->body.end()));
}

std::string StiOf(harvest::TimeFilter filter) {
  switch (filter) {
    case harvest::TimeFilter::WithinMonth:
      return "43200";
    case harvest::TimeFilter::WithinWeek:
      return "10080";
    case harvest::TimeFilter::WithinDay:
      return "1440";
    case harvest::TimeFilter::AllTime:
      break;
  }
  return "";
}

harvest::DetailCells ExpectedCells(const DemoSite& site, std::uint64_t id) {
  const EntryDetail detail = DetailOf(id);
  return {
      // The description runs to the end of its line, line break included.
      Gbk(detail.description) + "\n",
      Gbk(detail.industry),
      Gbk(detail.time),
      Gbk(detail.region),
      Gbk(detail.tags.front()),  // the first tag only
      detail.wechatId,
      "http://img2.localhost:" + std::to_string(site.Port()) + QrImagePath(id),
  };
}

TEST(DemoSitePatterns, SearchPagesGiveTheListedRows) {
  DemoSite site({.entriesPerPage = 12, .pagesPerKeyword = 2});
  ASSERT_TRUE(site.Start());
  struct Case {
    std::string keyword;
    int pageNumber;
    harvest::TimeFilter filter;
    int rows;
  };
  const std::vector<Case> cases = {
      {"美食", 1, harvest::TimeFilter::WithinDay, 12},
      {"美食", 2, harvest::TimeFilter::AllTime, 12},
      {"Python", 1, harvest::TimeFilter::WithinMonth, 12},
      {"旅游 攻略", 2, harvest::TimeFilter::WithinWeek, 12},
      {"", 1, harvest::TimeFilter::WithinDay, 12},
      {"美食", 3, harvest::TimeFilter::WithinDay, 0},
  };
  text::RegexMatcher titleMatcher;
  text::RegexMatcher sourceMatcher;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keyword + " page " + std::to_string(c.pageNumber));
    const std::string url =
        harvest::BuildSearchUrl(site.BaseUrl(), Gbk(c.keyword), c.pageNumber, c.filter);
    harvest::ResultTable table;
    harvest::HarvestSearchPage(FetchPageText(site, url), titleMatcher, sourceMatcher, table);

    const SearchQuery query{c.keyword, c.pageNumber - 1, StiOf(c.filter)};
    const std::vector<ListedEntry> entries = ListEntries(query, {12, 2});
    ASSERT_EQ(table.RowCount(), c.rows);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(c.rows));
    for (int row = 0; row < c.rows; ++row) {
      SCOPED_TRACE(row);
      const ListedEntry& entry = entries[row];
      EXPECT_EQ(table.GetCell(row, ResultColumn::Id), std::to_string(row + 1));
      EXPECT_EQ(table.GetCell(row, ResultColumn::Url), site.BaseUrl() + DetailPath(entry.id));
      EXPECT_EQ(table.GetCell(row, ResultColumn::Name), Gbk(entry.name));
      EXPECT_EQ(table.GetCell(row, ResultColumn::Source), Gbk(entry.source));
    }
  }
}

TEST(DemoSitePatterns, DetailPagesFillEveryField) {
  DemoSite site;
  ASSERT_TRUE(site.Start());
  text::RegexMatcher titleMatcher;
  text::RegexMatcher sourceMatcher;
  text::RegexMatcher fieldMatcher;
  int filled = 0;
  for (const char* keyword : {"美食", "Python", ""}) {
    harvest::ResultTable table;
    const std::string url =
        harvest::BuildSearchUrl(site.BaseUrl(), Gbk(keyword), 1, harvest::TimeFilter::WithinDay);
    harvest::HarvestSearchPage(FetchPageText(site, url), titleMatcher, sourceMatcher, table);
    ASSERT_EQ(table.RowCount(), 20);
    for (int row = 0; row < table.RowCount(); ++row) {
      const std::string detailUrl = table.GetCell(row, ResultColumn::Url);
      SCOPED_TRACE(detailUrl);
      const std::uint64_t id = std::stoull(detailUrl.substr(detailUrl.rfind('/') + 1));
      if (IsRemovedEntry(id)) continue;
      const harvest::DetailCells cells =
          harvest::ExtractDetailCells(FetchPageText(site, detailUrl), fieldMatcher);
      EXPECT_EQ(cells, ExpectedCells(site, id));
      ++filled;
    }
  }
  EXPECT_GT(filled, 40);
}

TEST(DemoSitePatterns, RemovedAndFailedEntriesAsTheHarvestSeesThem) {
  DemoSite site({.failRate = 0.5});
  ASSERT_TRUE(site.Start());
  text::RegexMatcher matcher;
  harvest::DetailCells removed;
  removed.fill(harvest::RemovedEntryText());
  const harvest::DetailCells failed = {"", "", "", "", "", harvest::NoWechatIdText(), ""};
  int seen[3] = {0, 0, 0};
  for (std::uint64_t id = 100000000; id < 100000060; ++id) {
    SCOPED_TRACE(id);
    const harvest::DetailCells cells =
        harvest::ExtractDetailCells(FetchPageText(site, site.BaseUrl() + DetailPath(id)), matcher);
    if (IsFailingEntry(id, 0.5)) {
      EXPECT_EQ(cells, failed);
      ++seen[0];
    } else if (IsRemovedEntry(id)) {
      EXPECT_EQ(cells, removed);
      ++seen[1];
    } else {
      EXPECT_EQ(cells, ExpectedCells(site, id));
      ++seen[2];
    }
  }
  for (const int count : seen) EXPECT_GT(count, 0);
}

}  // namespace
}  // namespace zv::demo
