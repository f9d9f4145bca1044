#include "harvest/detail_worker.h"

#include <gtest/gtest.h>

#include "harvest/search_page.h"
#include "support/fixtures.h"
#include "text/codepage.h"

namespace zv::harvest {
namespace {

using text::Gbk;
using text::GbkToUtf8;

Text FixturePage(const std::string& name) {
  const std::string raw = testing::ReadFixture(name);
  return Utf8BytesToText(Bytes(raw.begin(), raw.end()));
}

DetailCells Extract(const Text& page) {
  text::RegexMatcher matcher;
  return ExtractDetailCells(page, matcher);
}

std::string Utf8Cell(const DetailCells& cells, ResultColumn column) {
  return GbkToUtf8(cells[static_cast<int>(column) - static_cast<int>(ResultColumn::Description)]);
}

TEST(DetailFields, PatternsHaveTheirExactLengths) {
  const std::pair<ResultColumn, size_t> expected[] = {
      {ResultColumn::Description, 120}, {ResultColumn::Industry, 111},
      {ResultColumn::Time, 99},         {ResultColumn::Region, 167},
      {ResultColumn::Tags, 235},        {ResultColumn::WechatId, 333},
      {ResultColumn::QrImage, 28},
  };
  const auto& fields = DetailFields();
  ASSERT_EQ(fields.size(), std::size(expected));
  for (size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].column, expected[i].first);
    EXPECT_EQ(fields[i].pattern.size(), expected[i].second) << i;
  }
}

TEST(ExtractDetailCells, FillsEveryFieldOfADetailPage) {
  const DetailCells cells = Extract(FixturePage("detail_full.html"));
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::Description), "\n本群分享美食\n");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::Industry), "美食");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::Time), "2026-12-01");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::Region), "广东");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::Tags), "吃货");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::WechatId), "foodie_88");
  EXPECT_EQ(Utf8Cell(cells, ResultColumn::QrImage), "http://img2.127.0.0.1/qr/1.gif");
}

TEST(ExtractDetailCells, PageVariants) {
  struct Case {
    const char* fixture;
    ResultColumn column;
    const char* expected;
  };
  const Case cases[] = {
      // The first of two matching blocks counts.
      {"detail_two_blocks.html", ResultColumn::Industry, "美食"},
      {"detail_two_blocks.html", ResultColumn::WechatId, "foodie_88"},
      // The pattern consumes 43 spaces of indentation; a 44th stays.
      {"detail_wechat_44_spaces.html", ResultColumn::WechatId, " foodie_88"},
      // The removed-entry marker wins over fields that would match.
      {"detail_removed.html", ResultColumn::Industry, "文章已经删除"},
      {"detail_removed.html", ResultColumn::QrImage, "文章已经删除"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8Cell(Extract(FixturePage(c.fixture)), c.column), c.expected) << c.fixture;
}

TEST(ExtractDetailCells, EmptyPageLeavesCellsEmptyButTheWechatId) {
  const DetailCells cells = Extract("");
  for (int i = 0; i < 7; ++i) {
    const auto column = static_cast<ResultColumn>(static_cast<int>(ResultColumn::Description) + i);
    EXPECT_EQ(Utf8Cell(cells, column), column == ResultColumn::WechatId ? "无" : "") << i;
  }
}

// Builds a page whose description block captures `captured` exactly.
Text DescriptionPage(const std::string& captured) {
  return Gbk("<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">" + captured +
             "\n<i class=\"wxqicon_1 weixinqunICON\">\n");
}

TEST(ExtractDetailCells, DescriptionCleanUp) {
  struct Case {
    std::string captured;  // the group's text, ending in the LF before the closing line
    std::string expected;
  };
  const Case cases[] = {
      {"\n" + std::string(44, ' ') + "x", "\n    x\n"},  // 40 of 44 spaces go
      {"\n" + std::string(80, ' ') + "x", "\nx\n"},      // two runs of 40
      {"\na </SPAN> b", "\na  b\n"},                     // any case; neighbours stay
      {"\n</span>   x", "\n   x\n"},
      {"  \nx", "\nx\n"},  // leading blanks are trimmed first
      {"\n<UL class=\"other-info\"><li style=\"width:185px;\">x</LI>", "\nx\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf8Cell(Extract(DescriptionPage(c.captured)), ResultColumn::Description), c.expected)
        << c.captured;
}

TEST(ExtractDetailCells, WechatIdOfOnlySpacesStays) {
  std::string page = testing::ReadFixture("detail_full.html");
  page.replace(page.find("foodie_88"), 9, "   ");
  EXPECT_EQ(
      Utf8Cell(Extract(Utf8BytesToText(Bytes(page.begin(), page.end()))), ResultColumn::WechatId),
      "   ");
}

TEST(DetailWorker, CompletesItsRow) {
  ResultTable table;
  const RowRef row = table.AppendRow(
      [](int, Row& cells) { cells[static_cast<int>(ResultColumn::Url)] = "http://x/1"; });
  Text fetchedUrl;
  DetailWorker(table, row, [&](const Text& url) {
    fetchedUrl = url;
    EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::Status)), "正在采集中");
    const std::string raw = testing::ReadFixture("detail_full.html");
    return Bytes(raw.begin(), raw.end());
  });
  EXPECT_EQ(fetchedUrl, "http://x/1");
  EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::Status)), "采集完成");
  EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::Tags)), "吃货");
}

TEST(DetailWorker, FailedFetchStillCompletes) {
  ResultTable table;
  const RowRef row = table.AppendRow([](int, Row&) {});
  DetailWorker(table, row, [](const Text&) { return Bytes{}; });
  EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::WechatId)), "无");
  EXPECT_EQ(GbkToUtf8(table.GetCell(row, ResultColumn::Status)), "采集完成");
}

TEST(DetailWorker, RowClearedMeanwhileIsNeverWritten) {
  ResultTable table;
  const RowRef row = table.AppendRow([](int, Row&) {});
  DetailWorker(table, row, [&](const Text&) {
    table.ClearRows();
    table.AppendRow([](int, Row& cells) { cells[0] = "new"; });
    return Bytes{};
  });
  EXPECT_EQ(table.GetCell(0, ResultColumn::Status), "");
  EXPECT_EQ(table.GetCell(0, ResultColumn::WechatId), "");
  EXPECT_EQ(table.GetCell(0, ResultColumn::Id), "new");
}

}  // namespace
}  // namespace zv::harvest
