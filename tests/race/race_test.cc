// Seeded random sequences of the window's commands (Collect, Stop, Clear,
// export, cap changes, closing) against a live run in both phases. Checks the
// Stop promise (no write of a stopped run shows after Stop returned) and that
// no worker writes into a row of a later clearing epoch.
#include <gtest/gtest.h>

#include <random>
#include <thread>

#include "app/excel_export.h"
#include "demo-site/demo_site.h"
#include "harvest/harvest_engine.h"
#include "support/fixtures.h"
#include "text/codepage.h"

namespace zv::app {
namespace {

using harvest::ResultColumn;
using text::Gbk;
using text::GbkToUtf8;

class RaceSettings : public harvest::RunSettings {
 public:
  Text KeywordsText() const override { return Gbk("美食\r\n旅游"); }
  Text PagesText() const override { return "2"; }
  harvest::TimeFilter Filter() const override { return harvest::TimeFilter::WithinWeek; }
  Text WorkerCapText() const override {
    std::lock_guard lock(mutex_);
    return cap_;
  }
  void SetCap(Text cap) {
    std::lock_guard lock(mutex_);
    cap_ = std::move(cap);
  }

 private:
  mutable std::mutex mutex_;
  Text cap_ = "5";
};

class ObservingView : public harvest::RunView {
 public:
  void ShowStatus(const harvest::RunTokenPtr& token, const Text&) override { Check(token); }
  void SetCollectEnabled(const harvest::RunTokenPtr& token, bool) override { Check(token); }
  void ShowNotice(const Text&, const Text&) override {}
  int LateWrites() const { return lateWrites_; }

 private:
  void Check(const harvest::RunTokenPtr& token) {
    if (!token->IsLive()) ++lateWrites_;
  }
  std::atomic<int> lateWrites_{0};
};

// The id in ".../<id>.html" or ".../<id>.gif".
std::string IdOf(const std::string& url) {
  const size_t end = url.rfind('.');
  const size_t start = url.rfind('/', end) + 1;
  return url.substr(start, end - start);
}

// Every row holds only what its own worker wrote.
void ExpectRowsConsistent(const harvest::ResultTable& table, unsigned seed) {
  for (int r = 0; r < table.RowCount(); ++r) {
    const std::string status = GbkToUtf8(table.GetCell(r, ResultColumn::Status));
    const std::string qr = GbkToUtf8(table.GetCell(r, ResultColumn::QrImage));
    EXPECT_TRUE(status.empty() || status == "采集完成" || status == "正在采集中") << seed;
    if (status.empty()) {
      EXPECT_TRUE(qr.empty()) << seed << " row " << r;
    }
    if (!qr.empty() && qr != "文章已经删除") {
      EXPECT_EQ(IdOf(GbkToUtf8(table.GetCell(r, ResultColumn::Url))), IdOf(qr))
          << seed << " row " << r;
    }
  }
}

void RunSequence(unsigned seed, demo::DemoSite& site, const std::string& folder) {
  std::mt19937 random(seed);
  harvest::ResultTable table;
  RaceSettings settings;
  ObservingView view;
  auto engine = std::make_unique<harvest::HarvestEngine>(
      table, settings, view,
      harvest::EngineConfig{site.BaseUrl(), harvest::DefaultTransport(), false});
  const Text caps[] = {"5", "10", "20", "0", ""};
  for (int step = 0; step < 40; ++step) {
    switch (random() % 7) {
      case 0:
      case 1:
        engine->Collect();
        break;
      case 2:
        engine->Stop();
        break;
      case 3:
        table.ClearRows();
        break;
      case 4:
        ExportToExcel(ExportTargetPath(folder), ExportTitles(), table, nullptr);
        break;
      case 5:
        settings.SetCap(caps[random() % std::size(caps)]);
        break;
      case 6:  // the window closes: everything ends, and a new process starts
        engine.reset();
        engine = std::make_unique<harvest::HarvestEngine>(
            table, settings, view,
            harvest::EngineConfig{site.BaseUrl(), harvest::DefaultTransport(), false});
        break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 40));
  }
  engine->WaitIdle();
  engine.reset();
  EXPECT_EQ(view.LateWrites(), 0) << seed;
  ExpectRowsConsistent(table, seed);
}

TEST(CommandRaces, SeededSequencesKeepTheirPromises) {
  demo::DemoSiteOptions options;
  options.latencyMs = 5;
  options.entriesPerPage = 10;
  demo::DemoSite site(options);
  ASSERT_TRUE(site.Start());
  const std::string folder = testing::MakeTempFolder();
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u}) RunSequence(seed, site, folder);
}

}  // namespace
}  // namespace zv::app
