#include "app/excel_export.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/xls_reader.h"
#include "text/codepage.h"
#include "text/pump.h"

namespace zv::app {
namespace {

using harvest::kColumnCount;
using harvest::ResultColumn;
using harvest::ResultTable;
using zv::testing::ReadXls;
using zv::testing::XlsContents;

using WideRow = std::array<std::u16string, kColumnCount>;

const WideRow kTitles = {u"ID",   u"群/公众号名称", u"URL",  u"来自",   u"简介",       u"行业",
                         u"时间", u"地区",          u"标签", u"微信号", u"二维码图片", u"工作状态"};

Text Gbk(const std::u16string& wide) { return text::FromWide(wide, text::CodePage::Gbk); }

void AppendRows(ResultTable& table, const std::vector<WideRow>& rows) {
  for (const WideRow& row : rows) {
    const int index = table.AppendRow();
    for (int k = 0; k < kColumnCount; ++k) {
      table.SetCell(index, static_cast<ResultColumn>(k), Gbk(row[k]));
    }
  }
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename());
  }
  return names;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExcelExportTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = zv::testing::MakeTempFolder(); }
  void TearDown() override {
    text::SetPumpHook({});
    std::filesystem::remove_all(folder_);
  }

  std::string Target() const { return ExportTargetPath(folder_); }

  // Exports `table` into the test folder and reads the workbook back.
  XlsContents ExportAndRead(const ResultTable& table, const std::string& rows = "") {
    std::string error;
    EXPECT_TRUE(ExportToExcel(Target(), ExportTitles(), table, &error)) << error;
    XlsContents contents = ReadXls(Target(), rows);
    EXPECT_EQ(contents.failure, "");
    EXPECT_EQ(contents.log, std::vector<std::string>{});
    return contents;
  }

  // Expects sheet row `row` to hold `expected`: texts in text cells, empty
  // texts as blank cells, all with the text format.
  static void ExpectRow(const XlsContents& contents, int sheet, int row, const WideRow& expected) {
    for (int k = 0; k < kColumnCount; ++k) {
      SCOPED_TRACE("sheet " + std::to_string(sheet) + " row " + std::to_string(row) + " column " +
                   std::to_string(k));
      const zv::testing::XlsCell cell = contents.Cell(sheet, row, k);
      EXPECT_EQ(cell.type, expected[k].empty() ? "blank" : "text");
      EXPECT_EQ(cell.format, u"@");
      EXPECT_TRUE(cell.value == expected[k]);
    }
  }

  std::string folder_;
};

TEST_F(ExcelExportTest, EmptyTableGivesTheHeaderRowAlone) {
  ResultTable table;
  const XlsContents contents = ExportAndRead(table);
  ASSERT_EQ(contents.sheets.size(), 1u);
  EXPECT_EQ(contents.sheets[0].name, u"Sheet1");
  EXPECT_EQ(contents.sheets[0].rows, 1);
  EXPECT_EQ(contents.sheets[0].columns, kColumnCount);
  ExpectRow(contents, 0, 0, kTitles);
}

TEST_F(ExcelExportTest, TableRowsFollowTheHeaderAsText) {
  const std::vector<WideRow> rows = {
      {u"1", u"深圳程序员交流群", u"http://127.0.0.1/group/1001.html", u"微信群", u"每天分享技术",
       u"IT/互联网", u"2023-05-01", u"广东 深圳", u"编程 技术", u"12345678",
       u"http://127.0.0.1/qr/1001.jpg", u"采集完成"},
      {u"2", u"读书会", u"http://127.0.0.1/group/1002.html", u"公众号", u"文章已经删除",
       u"文章已经删除", u"文章已经删除", u"文章已经删除", u"文章已经删除", u"文章已经删除",
       u"文章已经删除", u"采集完成"},
      {u"3", u"007", u"http://127.0.0.1/group/1003.html", u"个人微信", u"", u"", u"", u"", u"", u"",
       u"", u""},
  };
  ResultTable table;
  AppendRows(table, rows);
  const XlsContents contents = ExportAndRead(table);
  ASSERT_EQ(contents.sheets.size(), 1u);
  EXPECT_EQ(contents.sheets[0].rows, 4);
  ExpectRow(contents, 0, 0, kTitles);
  for (int r = 0; r < 3; ++r) ExpectRow(contents, 0, r + 1, rows[r]);
  EXPECT_TRUE(contents.Cell(0, 1, 0).value == u"1");
  EXPECT_TRUE(contents.Cell(0, 1, 2).value == u"http://127.0.0.1/group/1001.html");
}

TEST_F(ExcelExportTest, RowCountIsTakenOnceAndClearedRowsReadEmpty) {
  ResultTable table;
  const WideRow row = {u"1", u"名称", u"http://127.0.0.1/a", u"来源"};
  AppendRows(table, {row, row, row, row});
  int pumps = 0;
  text::SetPumpHook([&] {
    if (++pumps == 2) {
      table.ClearRows();
      table.AppendRow();  // appended after the count was taken: not exported
    }
  });
  const XlsContents contents = ExportAndRead(table);
  EXPECT_EQ(pumps, 4);
  EXPECT_EQ(contents.sheets[0].rows, 5);
  ExpectRow(contents, 0, 1, row);
  for (int r = 2; r <= 4; ++r) ExpectRow(contents, 0, r, WideRow{});
}

TEST_F(ExcelExportTest, RowsPastOneSheetGoOnToFurtherSheets) {
  constexpr int kRows = 65537;
  ResultTable table;
  for (int r = 0; r < kRows; ++r) {
    table.AppendRow([](int index, harvest::Row& cells) {
      cells[static_cast<int>(ResultColumn::Id)] = std::to_string(index + 1);
    });
  }
  const XlsContents contents = ExportAndRead(table, "0,1,-2,-1");
  ASSERT_EQ(contents.sheets.size(), 2u);
  EXPECT_EQ(contents.sheets[0].name, u"Sheet1");
  EXPECT_EQ(contents.sheets[1].name, u"Sheet2");
  EXPECT_EQ(contents.sheets[0].rows, 65536);
  EXPECT_EQ(contents.sheets[1].rows, 3);
  const auto idRow = [](const std::u16string& id) { return WideRow{id}; };
  ExpectRow(contents, 0, 0, kTitles);
  ExpectRow(contents, 0, 1, idRow(u"1"));
  ExpectRow(contents, 0, 65535, idRow(u"65535"));
  ExpectRow(contents, 1, 0, kTitles);
  ExpectRow(contents, 1, 1, idRow(u"65536"));
  ExpectRow(contents, 1, 2, idRow(u"65537"));
}

TEST(ExportTargetPath, FolderTextIsTakenUnchanged) {
  const std::vector<std::pair<Text, Text>> cases = {
      {"/home/user/Desktop", "/home/user/Desktop/data.xls"},
      {"/home/user/Desktop/", "/home/user/Desktop//data.xls"},
      {" /tmp/x ", " /tmp/x /data.xls"},
      {"", "/data.xls"},
      {Gbk(u"/tmp/导出"), Gbk(u"/tmp/导出/data.xls")},
  };
  for (const auto& [folder, path] : cases) EXPECT_EQ(ExportTargetPath(folder), path);
}

TEST_F(ExcelExportTest, GbkFolderTextNamesTheUtf8Folder) {
  const std::string folderUtf8 = folder_ + "/导出 文件";
  std::filesystem::create_directory(folderUtf8);
  ResultTable table;
  AppendRows(table, {{u"1", u"群"}});
  std::string error;
  ASSERT_TRUE(
      ExportToExcel(ExportTargetPath(text::Utf8ToGbk(folderUtf8)), ExportTitles(), table, &error))
      << error;
  const XlsContents contents = ReadXls(folderUtf8 + "/data.xls");
  EXPECT_EQ(contents.failure, "");
  EXPECT_TRUE(contents.Cell(0, 1, 1).value == u"群");
}

TEST_F(ExcelExportTest, ExportingAgainReplacesTheWorkbook) {
  for (const std::u16string name : {u"第一次", u"第二次"}) {
    ResultTable table;
    AppendRows(table, {{u"1", name}});
    const XlsContents contents = ExportAndRead(table);
    EXPECT_EQ(contents.sheets[0].rows, 2);
    EXPECT_TRUE(contents.Cell(0, 1, 1).value == name);
  }
  EXPECT_EQ(FolderNames(folder_), std::vector<std::string>{"data.xls"});
}

TEST_F(ExcelExportTest, ExportThatCannotWriteSaysWhy) {
  std::filesystem::create_directories(folder_ + "/occupied/data.xls");
  struct Case {
    const char* what;
    std::string folder;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"missing folder", folder_ + "/missing",
       "cannot create a file in the folder: No such file or directory"},
      {"a folder named data.xls", folder_ + "/occupied",
       "cannot replace the earlier file: Is a directory"},
  };
  ResultTable table;
  AppendRows(table, {{u"1"}});
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ExportToExcel(ExportTargetPath(c.folder), ExportTitles(), table, &error))
        << c.what;
    EXPECT_EQ(error, c.reason) << c.what;
  }
  EXPECT_EQ(FolderNames(folder_ + "/occupied"), std::vector<std::string>{"data.xls"});
}

// A write that fails half way (here: past the file size limit, as a full disk
// would) leaves the earlier workbook as it was and no temporary file behind.
TEST_F(ExcelExportTest, FailedWriteKeepsTheEarlierWorkbook) {
  ResultTable table;
  AppendRows(table, {{u"1", u"旧的"}});
  std::string error;
  ASSERT_TRUE(ExportToExcel(Target(), ExportTitles(), table, &error)) << error;
  const std::string earlier = ReadWhole(Target());

  AppendRows(table, {{u"2", std::u16string(20000, u'新')}});
  rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 8192;
  const sighandler_t savedHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool exported = ExportToExcel(Target(), ExportTitles(), table, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, savedHandler);

  EXPECT_FALSE(exported);
  EXPECT_EQ(error, "cannot write the workbook: File too large");
  EXPECT_EQ(ReadWhole(Target()), earlier);
  EXPECT_EQ(FolderNames(folder_), std::vector<std::string>{"data.xls"});
}

}  // namespace
}  // namespace zv::app
