#include "harvest/result_table.h"

#include <gtest/gtest.h>

#include <thread>

#include "text/codepage.h"

namespace zv::harvest {
namespace {

TEST(ResultColumns, TitlesAndWidths) {
  const std::pair<const char*, int> expected[kColumnCount] = {
      {"ID", 50},    {"群/公众号名称", 100}, {"URL", 0},          {"来自", 100},
      {"简介", 100}, {"行业", 80},           {"时间", 80},        {"地区", 80},
      {"标签", 80},  {"微信号", 100},        {"二维码图片", 100}, {"工作状态", 70},
  };
  for (int c = 0; c < kColumnCount; ++c) {
    const auto column = static_cast<ResultColumn>(c);
    EXPECT_EQ(text::GbkToUtf8(ColumnTitle(column)), expected[c].first);
    EXPECT_EQ(ColumnWidth(column), expected[c].second);
  }
}

TEST(ResultTable, MissingRowsReadEmptyAndIgnoreWrites) {
  ResultTable table;
  EXPECT_EQ(table.GetCell(0, ResultColumn::Id), "");
  table.SetCell(0, ResultColumn::Id, "x");
  table.SetCell(-1, ResultColumn::Id, "x");
  EXPECT_EQ(table.RowCount(), 0);
  EXPECT_EQ(table.AppendRow(), 0);
  EXPECT_EQ(table.AppendRow(), 1);
  table.SetCell(1, ResultColumn::Url, std::string(100000, 'u'));
  EXPECT_EQ(table.GetCell(1, ResultColumn::Url).size(), 100000u);  // whole, no length limit
  EXPECT_EQ(table.GetCell(0, ResultColumn::Status), "");
}

TEST(ResultTable, WritesThroughAnEarlierEpochChangeNothing) {
  ResultTable table;
  const RowRef old = table.AppendRow([](int, Row& cells) { cells[0] = "1"; });
  table.ClearRows();
  const RowRef fresh = table.AppendRow([](int, Row& cells) { cells[0] = "1"; });
  EXPECT_EQ(old.index, fresh.index);
  table.SetCell(old, ResultColumn::Status, "old");
  EXPECT_EQ(table.GetCell(fresh, ResultColumn::Status), "");
  EXPECT_EQ(table.GetCell(old, ResultColumn::Id), "");
  table.SetCell(fresh, ResultColumn::Status, "new");
  EXPECT_EQ(table.GetCell(0, ResultColumn::Status), "new");
}

TEST(ResultTable, ListenerSeesChangesInOrder) {
  ResultTable table;
  std::vector<TableChange::Kind> kinds;
  table.SetListener([&](const TableChange& change) { kinds.push_back(change.kind); });
  table.AppendRow();
  table.SetCell(0, ResultColumn::Name, "n");
  table.SetCell(5, ResultColumn::Name, "ignored");
  table.ClearRows();
  EXPECT_EQ(kinds, (std::vector<TableChange::Kind>{TableChange::Kind::Appended,
                                                   TableChange::Kind::CellChanged,
                                                   TableChange::Kind::Cleared}));
}

TEST(ResultTable, RowsAppearWholeToOtherThreads) {
  ResultTable table;
  std::atomic<bool> done{false};
  std::atomic<int> halfRows{0};
  std::thread reader([&] {
    while (!done) {
      const int rows = table.RowCount();
      for (int r = 0; r < rows; ++r)
        if (table.GetCell(r, ResultColumn::Url).empty()) ++halfRows;
    }
  });
  for (int i = 0; i < 2000; ++i)
    table.AppendRow([](int index, Row& cells) {
      cells[0] = std::to_string(index + 1);
      cells[2] = "http://x/" + cells[0];
    });
  done = true;
  reader.join();
  EXPECT_EQ(halfRows, 0);
}

}  // namespace
}  // namespace zv::harvest
