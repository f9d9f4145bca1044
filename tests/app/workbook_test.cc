#include "app/workbook.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/xls_reader.h"

namespace zv::app {
namespace {

using zv::testing::ReadXls;
using zv::testing::XlsContents;

class WorkbookTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_ = zv::testing::MakeTempFolder(); }
  void TearDown() override { std::filesystem::remove_all(folder_); }

  // Saves `book` and reads it back; the readers must find nothing wrong.
  XlsContents SaveAndRead(const WorkbookWriter& book, const std::string& rows = "") {
    const std::string path = folder_ + "/book.xls";
    std::string error;
    EXPECT_TRUE(book.Save(path, &error)) << error;
    XlsContents contents = ReadXls(path, rows);
    EXPECT_EQ(contents.failure, "");
    EXPECT_EQ(contents.log, std::vector<std::string>{});
    EXPECT_EQ(contents.streams, std::vector<std::string>{"Workbook"});
    EXPECT_EQ(std::filesystem::file_size(path) % 512, 0u);
    return contents;
  }

  // Expects cell (sheet, row, column) to be a text cell holding `value`.
  static void ExpectText(const XlsContents& contents, int sheet, int row, int column,
                         const std::u16string& value) {
    const zv::testing::XlsCell cell = contents.Cell(sheet, row, column);
    EXPECT_EQ(cell.type, "text") << "at " << sheet << "/" << row << "/" << column;
    EXPECT_EQ(cell.format, u"@") << "at " << sheet << "/" << row << "/" << column;
    EXPECT_TRUE(cell.value == value) << "at " << sheet << "/" << row << "/" << column << ": "
                                     << cell.value.size() << " units, expected " << value.size();
  }

  std::string folder_;
};

TEST_F(WorkbookTest, CellTextsComeBackAsTextCells) {
  const std::u16string smile = u"\U0001F600";
  struct Case {
    const char* what;
    std::u16string text;
    std::u16string stored;
  };
  const std::vector<Case> cases = {
      {"ascii", u"hello", u"hello"},
      {"digits stay text", u"00123", u"00123"},
      {"long digits stay text", u"123456789012345678", u"123456789012345678"},
      {"chinese", u"群/公众号名称", u"群/公众号名称"},
      {"latin-1 in 8-bit characters", u"caf\u00e9 \u00ff", u"caf\u00e9 \u00ff"},
      {"outside the BMP", u"a" + smile + u"b", u"a" + smile + u"b"},
      {"at the limit", std::u16string(kCellMaxChars, u'x'), std::u16string(kCellMaxChars, u'x')},
      {"past the limit is cut", std::u16string(40000, u'图'), std::u16string(kCellMaxChars, u'图')},
      {"a pair at the cut stays whole", std::u16string(kCellMaxChars - 1, u'y') + smile + u"z",
       std::u16string(kCellMaxChars - 1, u'y')},
  };
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  for (std::size_t i = 0; i < cases.size(); ++i) {
    ASSERT_TRUE(book.SetCell(static_cast<int>(i), 1, cases[i].text)) << cases[i].what;
  }
  const XlsContents contents = SaveAndRead(book);
  ASSERT_EQ(contents.sheets.size(), 1u);
  EXPECT_EQ(contents.sheets[0].rows, static_cast<int>(cases.size()));
  EXPECT_EQ(contents.sheets[0].columns, 2);
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].what);
    ExpectText(contents, 0, static_cast<int>(i), 1, cases[i].stored);
    EXPECT_EQ(contents.Cell(0, static_cast<int>(i), 0).type, "empty");
  }
}

TEST_F(WorkbookTest, EmptyTextIsABlankCellWithTheTextFormat) {
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  book.SetCell(0, 0, u"");
  book.SetCell(0, 1, u"x");
  const XlsContents contents = SaveAndRead(book);
  EXPECT_EQ(contents.Cell(0, 0, 0).type, "blank");
  EXPECT_EQ(contents.Cell(0, 0, 0).format, u"@");
  ExpectText(contents, 0, 0, 1, u"x");
}

TEST_F(WorkbookTest, CellsSetOutOfOrderOrTwiceLandInPlace) {
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  book.SetCell(2, 0, u"c");
  book.SetCell(0, 3, u"first");
  book.SetCell(0, 1, u"b");
  book.SetCell(0, 3, u"second");
  book.SetCell(1, 2, u"shared");
  book.SetCell(2, 2, u"shared");
  const XlsContents contents = SaveAndRead(book);
  ExpectText(contents, 0, 0, 1, u"b");
  ExpectText(contents, 0, 0, 3, u"second");
  ExpectText(contents, 0, 1, 2, u"shared");
  ExpectText(contents, 0, 2, 0, u"c");
  ExpectText(contents, 0, 2, 2, u"shared");
  EXPECT_EQ(contents.sheets[0].rows, 3);
  EXPECT_EQ(contents.sheets[0].columns, 4);
}

TEST_F(WorkbookTest, SheetsKeepTheirNamesOrderAndCells) {
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  book.SetCell(0, 0, u"one");
  book.AddSheet(u"数据");
  book.AddSheet(u"A name longer than thirty-one characters");
  book.SetCell(kSheetMaxRows - 1, 0, u"last row");
  book.AddSheet(u"Sheet4");
  book.SetCell(0, kSheetMaxColumns - 1, u"last column");
  const XlsContents contents = SaveAndRead(book, "0,-1");
  ASSERT_EQ(contents.sheets.size(), 4u);
  EXPECT_EQ(contents.sheets[0].name, u"Sheet1");
  EXPECT_EQ(contents.sheets[1].name, u"数据");
  EXPECT_EQ(contents.sheets[2].name, u"A name longer than thirty-one c");
  ExpectText(contents, 0, 0, 0, u"one");
  EXPECT_EQ(contents.sheets[1].rows, 0);
  EXPECT_EQ(contents.sheets[2].rows, kSheetMaxRows);
  ExpectText(contents, 2, kSheetMaxRows - 1, 0, u"last row");
  EXPECT_EQ(contents.sheets[3].columns, kSheetMaxColumns);
  ExpectText(contents, 3, 0, kSheetMaxColumns - 1, u"last column");
}

TEST_F(WorkbookTest, CellsPastTheLimitsAreRefused) {
  struct Case {
    int row;
    int column;
    bool taken;
  };
  const std::vector<Case> cases = {
      {0, 0, true},
      {kSheetMaxRows - 1, kSheetMaxColumns - 1, true},
      {kSheetMaxRows, 0, false},
      {0, kSheetMaxColumns, false},
      {-1, 0, false},
      {0, -1, false},
  };
  WorkbookWriter noSheet;
  EXPECT_FALSE(noSheet.SetCell(0, 0, u"x"));
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  for (const Case& c : cases) {
    EXPECT_EQ(book.SetCell(c.row, c.column, u"x"), c.taken) << c.row << "," << c.column;
  }
}

// The string table passes the 8224-byte record limit in CONTINUE records. A
// filler string leaves `room` bytes in the first record; the next string's
// header and first character must move on whole, and its characters continue
// over several records with the option byte repeated.
TEST_F(WorkbookTest, StringsStraddlingContinueRecordsComeBackWhole) {
  constexpr int kSstRecordData = 8224;
  constexpr int kSstCounts = 8;
  constexpr int kStringHeader = 3;
  for (const bool wide : {false, true}) {
    for (int room = 0; room <= 7; ++room) {
      SCOPED_TRACE(std::string(wide ? "16-bit" : "8-bit") + " room " + std::to_string(room));
      const std::u16string filler(kSstRecordData - kSstCounts - kStringHeader - room, u'f');
      std::u16string straddling;
      for (int i = 0; i < 20000; ++i) straddling.push_back(wide ? u'码' + i % 7 : u'a' + i % 26);
      const std::u16string after = wide ? u"之后" : u"after";
      WorkbookWriter book;
      book.AddSheet(u"Sheet1");
      book.SetCell(0, 0, filler);
      book.SetCell(1, 0, straddling);
      book.SetCell(2, 0, after);
      const XlsContents contents = SaveAndRead(book);
      ExpectText(contents, 0, 0, 0, filler);
      ExpectText(contents, 0, 1, 0, straddling);
      ExpectText(contents, 0, 2, 0, after);
    }
  }
}

TEST_F(WorkbookTest, ManyMixedStringsFillManyContinueRecords) {
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  std::vector<std::u16string> texts;
  for (int i = 0; i < 6000; ++i) {
    std::u16string text = (i % 3 == 0 ? u"群" : u"id-") + std::u16string(i % 61, u'0' + i % 10);
    text += u"#";
    for (int n = i; n > 0; n /= 10) text.push_back(u'0' + n % 10);
    texts.push_back(text);
    book.SetCell(i % 5000, i / 5000, text);
  }
  const XlsContents contents = SaveAndRead(book);
  for (int i = 0; i < 6000; ++i) ExpectText(contents, 0, i % 5000, i / 5000, texts[i]);
}

// Past 109 FAT sectors (about 7 MB) the FAT sector list goes on in DIFAT sectors.
TEST_F(WorkbookTest, LargeWorkbookNeedsDifatSectors) {
  constexpr int kStrings = 130;
  WorkbookWriter book;
  book.AddSheet(u"Sheet1");
  // Distinct texts of the full length, 16-bit characters: 64 KB each.
  const auto text = [](int i) {
    return std::u16string(kCellMaxChars - 2, u'长') + static_cast<char16_t>(u'0' + i % 10) +
           static_cast<char16_t>(u'A' + i / 10);
  };
  for (int i = 0; i < kStrings; ++i) book.SetCell(i, 0, text(i));
  const XlsContents contents = SaveAndRead(book, "0,64,-1");
  const std::filesystem::path path = folder_ + "/book.xls";
  EXPECT_GT(std::filesystem::file_size(path), 109u * 128 * 512);
  for (int row : {0, 64, kStrings - 1}) {
    ExpectText(contents, 0, row, 0, text(row));
  }
}

TEST_F(WorkbookTest, SaveReplacesTheFileAndLeavesNothingElse) {
  const std::string path = folder_ + "/book.xls";
  for (const std::u16string value : {u"earlier", u"later"}) {
    WorkbookWriter book;
    book.AddSheet(u"Sheet1");
    book.SetCell(0, 0, value);
    std::string error;
    ASSERT_TRUE(book.Save(path, &error)) << error;
    const XlsContents contents = ReadXls(path);
    ExpectText(contents, 0, 0, 0, value);
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    names.push_back(entry.path().filename());
  }
  EXPECT_EQ(names, std::vector<std::string>{"book.xls"});
}

TEST_F(WorkbookTest, SaveFailuresSayWhy) {
  std::filesystem::create_directory(folder_ + "/taken.xls");
  struct Case {
    const char* what;
    std::string path;
    bool addSheet;
    std::string reason;
  };
  const std::vector<Case> cases = {
      {"no sheet", folder_ + "/book.xls", false, "the workbook has no sheet"},
      {"missing folder", folder_ + "/missing/book.xls", true,
       "cannot create a file in the folder: No such file or directory"},
      {"a folder in the way", folder_ + "/taken.xls", true,
       "cannot replace the earlier file: Is a directory"},
  };
  for (const Case& c : cases) {
    WorkbookWriter book;
    if (c.addSheet) book.AddSheet(u"Sheet1");
    std::string error;
    EXPECT_FALSE(book.Save(c.path, &error)) << c.what;
    EXPECT_EQ(error, c.reason) << c.what;
  }
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
    names.push_back(entry.path().filename());
  }
  EXPECT_EQ(names, std::vector<std::string>{"taken.xls"});
  EXPECT_TRUE(std::filesystem::is_directory(folder_ + "/taken.xls"));
}

}  // namespace
}  // namespace zv::app
