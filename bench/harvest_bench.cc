// Micro-benchmarks of the harvest's text work: the seven detail-field
// patterns over a large detail page, one search page's rows, page decoding.
//   build/bench/harvest_bench
#include <benchmark/benchmark.h>

#include <thread>

#include "demo-site/demo_content.h"
#include "demo-site/demo_pages.h"
#include "harvest/detail_worker.h"
#include "harvest/search_page.h"
#include "text/regex_matcher.h"

namespace {

using zv::text::Bytes;

// About 300 KB: a real detail page inside a lot of ordinary markup.
std::string LargeDetailPageUtf8() {
  std::string chrome;
  while (chrome.size() < 150'000)
    chrome += "<div class=\"nav\"><a href=\"/list?c=12\">美食 · 旅游 · 生活</a></div>\n";
  const std::string page = zv::demo::DetailPage(42, zv::demo::DetailOf(42), "http://img2.localhost/qr/42.gif");
  const size_t body = page.find("<body>") + 6;
  return page.substr(0, body) + chrome + page.substr(body) + chrome;
}

Bytes AsBytes(const std::string& raw) { return Bytes(raw.begin(), raw.end()); }

void BM_DetailFieldsCachedPatterns(benchmark::State& state) {
  const zv::text::Text page = zv::harvest::Utf8BytesToText(AsBytes(LargeDetailPageUtf8()));
  zv::text::RegexMatcher matcher;
  for (auto _ : state) benchmark::DoNotOptimize(zv::harvest::ExtractDetailCells(page, matcher));
  state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_DetailFieldsCachedPatterns)->Unit(benchmark::kMillisecond);

// Each iteration on a fresh thread, so every pattern is compiled anew.
void BM_DetailFieldsFirstCompile(benchmark::State& state) {
  const zv::text::Text page = zv::harvest::Utf8BytesToText(AsBytes(LargeDetailPageUtf8()));
  for (auto _ : state) {
    std::thread worker([&] {
      zv::text::RegexMatcher matcher;
      benchmark::DoNotOptimize(zv::harvest::ExtractDetailCells(page, matcher));
    });
    worker.join();
  }
  state.SetBytesProcessed(state.iterations() * page.size());
}
BENCHMARK(BM_DetailFieldsFirstCompile)->Unit(benchmark::kMillisecond);

void BM_HarvestSearchPage20Entries(benchmark::State& state) {
  const zv::demo::SearchQuery query{"美食", 0, "1440"};
  const zv::demo::ListingShape shape{20, 5};
  const std::string raw =
      zv::demo::SearchResultPage(query, zv::demo::ListEntries(query, shape), zv::demo::TotalEntries(shape),
                                 "127.0.0.1:8731");
  const zv::text::Text page = zv::harvest::Utf8BytesToText(AsBytes(raw));
  zv::text::RegexMatcher title, source;
  for (auto _ : state) {
    zv::harvest::ResultTable table;
    zv::harvest::HarvestSearchPage(page, title, source, table);
    benchmark::DoNotOptimize(table.RowCount());
  }
}
BENCHMARK(BM_HarvestSearchPage20Entries)->Unit(benchmark::kMicrosecond);

void BM_Utf8BytesToText(benchmark::State& state) {
  const Bytes bytes = AsBytes(LargeDetailPageUtf8());
  for (auto _ : state) benchmark::DoNotOptimize(zv::harvest::Utf8BytesToText(bytes));
  state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_Utf8BytesToText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
