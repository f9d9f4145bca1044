// The export of a full result table: 10,000 rows of twelve realistic texts
// (Chinese names, descriptions, tags; URLs; ids) into data.xls in a fresh
// folder, then the writer alone on the same cells. Reports the file size and
// the process's peak resident memory after the runs.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/excel_export.h"
#include "app/workbook.h"
#include "harvest/result_table.h"
#include "text/codepage.h"

namespace {

using zv::harvest::ResultColumn;
using zv::text::Gbk;

constexpr int kRows = 10000;

// Row r of a table as the harvest leaves it after the detail phase.
void FillRow(int r, zv::harvest::Row& cells) {
  static const char* const kNames[] = {"深圳程序员交流群", "宝妈育儿经验分享", "读书会·每周一本",
                                       "跨境电商卖家联盟", "摄影爱好者俱乐部"};
  static const char* const kRegions[] = {"广东 深圳", "北京 朝阳", "浙江 杭州", "四川 成都"};
  const auto set = [&](ResultColumn column, const std::string& text) {
    cells[static_cast<int>(column)] = text;
  };
  const std::string id = std::to_string(r + 1);
  set(ResultColumn::Id, id);
  set(ResultColumn::Name, Gbk(kNames[r % 5]) + id);
  set(ResultColumn::Url, "http://127.0.0.1:8080/group/" + std::to_string(100000 + r) + ".html");
  set(ResultColumn::Source, Gbk(r % 3 ? "微信群" : "公众号"));
  set(ResultColumn::Description,
      Gbk("欢迎加入本群，群内每天分享行业资讯、经验交流与资源对接，禁止发广告，违者移出。编号") +
          id);
  set(ResultColumn::Industry, Gbk("IT/互联网"));
  set(ResultColumn::Time, "2023-0" + std::to_string(r % 9 + 1) + "-1" + std::to_string(r % 10));
  set(ResultColumn::Region, Gbk(kRegions[r % 4]));
  set(ResultColumn::Tags, Gbk("交流 分享 学习 资源"));
  set(ResultColumn::WechatId, r % 4 ? "wx" + std::to_string(7000000 + r * 7) : Gbk("无"));
  set(ResultColumn::QrImage, "http://127.0.0.1:8080/qr/" + std::to_string(100000 + r) + ".jpg");
  set(ResultColumn::Status, Gbk("采集完成"));
}

const zv::harvest::ResultTable& Table() {
  static zv::harvest::ResultTable table;
  static const bool filled = [] {
    for (int r = 0; r < kRows; ++r) table.AppendRow(FillRow);
    return true;
  }();
  (void)filled;
  return table;
}

std::string Folder() {
  static const std::string folder = [] {
    const auto path =
        std::filesystem::temp_directory_path() / ("zv-export-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

double PeakResidentMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ExportToExcel(benchmark::State& state) {
  const auto& table = Table();
  const std::string path = zv::app::ExportTargetPath(Folder());
  std::string error;
  for (auto _ : state) {
    if (!zv::app::ExportToExcel(path, zv::app::ExportTitles(), table, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.counters["rows"] = kRows;
  state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
  state.counters["peak_RSS_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_ExportToExcel)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writer alone: cells already in UTF-16, nothing read from the table.
void BM_WorkbookWriterSave(benchmark::State& state) {
  std::vector<std::u16string> cells;
  for (int r = 0; r < kRows; ++r) {
    zv::harvest::Row row;
    FillRow(r, row);
    for (const auto& cell : row) cells.push_back(zv::text::ToWide(cell, zv::text::CodePage::Gbk));
  }
  const std::string path = Folder() + "/writer.xls";
  std::string error;
  for (auto _ : state) {
    zv::app::WorkbookWriter book;
    book.AddSheet(u"Sheet1");
    for (std::size_t i = 0; i < cells.size(); ++i) {
      book.SetCell(static_cast<int>(i / 12), static_cast<int>(i % 12), cells[i]);
    }
    if (!book.Save(path, &error)) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.counters["peak_RSS_MB"] = PeakResidentMegabytes();
}
BENCHMARK(BM_WorkbookWriterSave)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Folder());
  return 0;
}
