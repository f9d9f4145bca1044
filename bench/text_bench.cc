// The text layer on the pages a harvest reads: page decoding throughput
// (Utf8ToGbk, and GbkToUtf8 which every Search runs on its subject), the
// field patterns of a detail page with the compile in each Search and with
// the per-thread cache, and Search over ten megabytes of near misses, which
// the match limit ends.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "demo-site/demo_pages.h"
#include "harvest/detail_worker.h"
#include "text/codepage.h"
#include "text/regex_matcher.h"

namespace {

using zv::text::Gbk;
using zv::text::RegexMatcher;
using zv::text::Text;

constexpr size_t kSearchPageBytes = 300 * 1024;
constexpr size_t kNearMissBytes = 10 * 1024 * 1024;

// Result pages of one keyword, joined until they make a page of ~300 KB:
// markup and URLs in ASCII, names and sources in Chinese.
const std::string& SearchPageUtf8() {
  static const std::string page = [] {
    std::string joined;
    for (int index = 0; joined.size() < kSearchPageBytes; ++index) {
      const zv::demo::SearchQuery query{"美食", index, "1440"};
      joined += zv::demo::SearchResultPage(query, zv::demo::ListEntries(query, {}), 1000,
                                           "127.0.0.1:8731");
    }
    return joined;
  }();
  return page;
}

const Text& DetailPageGbk() {
  static const Text page = zv::text::Utf8ToGbk(
      zv::demo::DetailPage(42, zv::demo::DetailOf(42), "http://img2.demo/qr/42.gif"));
  return page;
}

void BM_Utf8ToGbk(benchmark::State& state) {
  const std::string& page = SearchPageUtf8();
  for (auto _ : state) benchmark::DoNotOptimize(zv::text::Utf8ToGbk(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
  state.counters["page_kb"] = static_cast<double>(page.size()) / 1024;
}
BENCHMARK(BM_Utf8ToGbk);

void BM_GbkToUtf8(benchmark::State& state) {
  const Text page = zv::text::Utf8ToGbk(SearchPageUtf8());
  for (auto _ : state) benchmark::DoNotOptimize(zv::text::GbkToUtf8(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_GbkToUtf8);

// The seven field patterns over one detail page, as a worker runs them. With
// range(0) == 1 every pattern text is new (a leading comment makes it so), so
// each Search compiles; with 0 the thread's cache serves them.
void BM_DetailFields(benchmark::State& state) {
  const bool compileEach = state.range(0) == 1;
  const Text& page = DetailPageGbk();
  RegexMatcher matcher;
  int round = 0;
  for (auto _ : state) {
    const std::string prefix = compileEach ? "(?#" + std::to_string(round++) + ")" : "";
    for (const auto& field : zv::harvest::DetailFields()) {
      matcher.Search(prefix + field.pattern, page);
      benchmark::DoNotOptimize(matcher.SubmatchText(1, 1));
    }
  }
  state.SetLabel(compileEach ? "compile each" : "cached");
  state.counters["page_kb"] = static_cast<double>(page.size()) / 1024;
}
BENCHMARK(BM_DetailFields)->Arg(1)->Arg(0);

// Openings of each field pattern without the rest it needs.
std::string NearMissUnit(size_t field) {
  const std::string s40(40, ' ');
  const std::string s44(44, ' ');
  const std::vector<std::string> units = {
      "<span class=\"des_info_text2\" style=\"width:380px; margin-left:48px;\">x\n",
      "/a&amp;t=b\">\n" + s44 + "v\n",
      "时间：\n" + s44 + "v\n",
      "地区：\n" + s40 + "<a href=\"a&amp;m=b\">\n" + s44 + "v\n",
      "标签：\n" + s40 + "\n" + s40 + "\n" + s40 + "<a href=\"\">\n",
      "微信号：\n" + s40 + "</span>\n" + s40 +
          "<span class=\"des_info_text2\" style=\"width:340px;color:#8ec31f;\">\n" +
          std::string(43, ' ') + "v\n",
      "<img src=\"http://img2/a.png\" >",
  };
  return units[field];
}

// One Search of field pattern range(0) over 10 MB of its near misses, on a
// fresh matcher (so the subject conversion is included).
void BM_NearMiss10MB(benchmark::State& state) {
  const auto field = static_cast<size_t>(state.range(0));
  const Text unit = Gbk(NearMissUnit(field));
  Text page;
  while (page.size() < kNearMissBytes) page += unit;
  const Text& pattern = zv::harvest::DetailFields()[field].pattern;
  for (auto _ : state) {
    RegexMatcher matcher;
    const bool ran = matcher.Search(pattern, page);
    state.SetLabel(ran ? "no match" : matcher.LastError());
    benchmark::DoNotOptimize(matcher.MatchCount());
  }
}
BENCHMARK(BM_NearMiss10MB)->DenseRange(0, 6)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
