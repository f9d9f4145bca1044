#include "harvest/harvest_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "demo-site/demo_site.h"
#include "harvest/detail_worker.h"
#include "harvest/wait_pumping.h"
#include "text/codepage.h"

namespace zv::harvest {
namespace {

using text::Gbk;
using text::GbkToUtf8;

// Settings the test changes while a run reads them.
class TestSettings : public RunSettings {
 public:
  Text KeywordsText() const override { return Get(keywords_); }
  Text PagesText() const override { return Get(pages_); }
  TimeFilter Filter() const override {
    std::lock_guard lock(mutex_);
    return filter_;
  }
  Text WorkerCapText() const override { return Get(cap_); }

  void Set(const std::string& keywordsUtf8, const std::string& pagesUtf8,
           const std::string& capUtf8) {
    std::lock_guard lock(mutex_);
    keywords_ = Gbk(keywordsUtf8);
    pages_ = Gbk(pagesUtf8);
    cap_ = Gbk(capUtf8);
  }

 private:
  Text Get(const Text& field) const {
    std::lock_guard lock(mutex_);
    return field;
  }
  mutable std::mutex mutex_;
  Text keywords_, pages_, cap_;
  TimeFilter filter_ = TimeFilter::WithinDay;
};

// Records what a run shows, and every write that arrives with a revoked token
// (the engine promises there are none).
class RecordingView : public RunView {
 public:
  void ShowStatus(const RunTokenPtr& token, const Text& text) override {
    std::lock_guard lock(mutex_);
    if (!token->IsLive()) ++lateWrites_;
    statuses_.push_back(GbkToUtf8(text));
  }
  void SetCollectEnabled(const RunTokenPtr& token, bool enabled) override {
    std::lock_guard lock(mutex_);
    if (!token->IsLive()) ++lateWrites_;
    collectEnabled_.push_back(enabled);
  }
  void ShowNotice(const Text& text, const Text& title) override {
    std::lock_guard lock(mutex_);
    notices_.push_back(GbkToUtf8(title) + ":" + GbkToUtf8(text));
  }

  std::vector<std::string> Statuses() const {
    std::lock_guard lock(mutex_);
    return statuses_;
  }
  std::vector<bool> CollectEnabled() const {
    std::lock_guard lock(mutex_);
    return collectEnabled_;
  }
  std::vector<std::string> Notices() const {
    std::lock_guard lock(mutex_);
    return notices_;
  }
  int LateWrites() const {
    std::lock_guard lock(mutex_);
    return lateWrites_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> statuses_;
  std::vector<bool> collectEnabled_;
  std::vector<std::string> notices_;
  int lateWrites_ = 0;
};

// Holds detail fetches (or the search fetches from the n-th on) until opened,
// or until the fetch is cancelled.
class Gate {
 public:
  void Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits while closed; false when cancelled first.
  bool Pass(const web::CancelToken* cancel) {
    std::unique_lock lock(mutex_);
    ++waiting_;
    changed_.notify_all();
    while (!open_) {
      if (cancel && cancel->IsCancelled()) return false;
      changed_.wait_for(lock, std::chrono::milliseconds(5));
    }
    return true;
  }
  void AwaitWaiting(int count) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return waiting_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

class HarvestEngineTest : public ::testing::Test {
 protected:
  void StartSite(int entriesPerPage, int latencyMs = 0) {
    demo::DemoSiteOptions options;
    options.entriesPerPage = entriesPerPage;
    options.latencyMs = latencyMs;
    options.pagesPerKeyword = 3;
    site_ = std::make_unique<demo::DemoSite>(options);
    ASSERT_TRUE(site_->Start());
  }

  EngineConfig Config() {
    EngineConfig config{site_->BaseUrl()};
    config.restrictToFirstProcessor = false;
    return config;
  }

  std::vector<std::string> Column(ResultColumn column) const {
    std::vector<std::string> cells;
    for (int r = 0; r < table_.RowCount(); ++r)
      cells.push_back(GbkToUtf8(table_.GetCell(r, column)));
    return cells;
  }

  int RowsWithStatus(const std::string& status) const {
    int count = 0;
    for (const std::string& cell : Column(ResultColumn::Status)) count += cell == status;
    return count;
  }

  std::unique_ptr<demo::DemoSite> site_;
  ResultTable table_;
  TestSettings settings_;
  RecordingView view_;
};

TEST_F(HarvestEngineTest, WholeRunFillsEveryRowAndReportsInOrder) {
  StartSite(4);
  settings_.Set("美食\r\n旅游\r\n", "2", "5");
  {
    HarvestEngine engine(table_, settings_, view_, Config());
    engine.Collect();
    engine.WaitIdle();
    EXPECT_EQ(engine.ActiveWorkerCount(), 0);
    EXPECT_EQ(view_.CollectEnabled(), (std::vector<bool>{false, false, true}));
  }
  ASSERT_EQ(table_.RowCount(), 16);
  EXPECT_EQ(RowsWithStatus("采集完成"), 16);
  const auto ids = Column(ResultColumn::Id);
  for (int r = 0; r < 16; ++r) EXPECT_EQ(ids[r], std::to_string(r + 1));
  for (const std::string& qr : Column(ResultColumn::QrImage)) EXPECT_FALSE(qr.empty());
  const std::vector<std::string> expected = {
      "正在采集关键词：美食1/2   第1页", "正在采集关键词：美食1/2   第2页",
      "正在采集关键词：旅游2/2   第1页", "正在采集关键词：旅游2/2   第2页",
      "正在采集详细信息,请稍候...",      "采集完成！共计采集结果：16条",
  };
  EXPECT_EQ(view_.Statuses(), expected);
  EXPECT_EQ(site_->SearchRequests(), 4);
  EXPECT_EQ(site_->DetailRequests(), 16);
}

TEST_F(HarvestEngineTest, SettingsDecideKeywordsAndPages) {
  struct Case {
    std::string keywords, pages;
    int searchRequests;
    std::vector<std::string> firstStatuses;
  };
  const Case cases[] = {
      {"a\r\n\r\nb",
       "1",
       3,
       {"正在采集关键词：a1/3   第1页", "正在采集关键词：2/3   第1页",
        "正在采集关键词：b3/3   第1页"}},
      {"a", "２", 2, {"正在采集关键词：a1/1   第1页", "正在采集关键词：a1/1   第2页"}},
      {"a", "3页", 3, {"正在采集关键词：a1/1   第1页"}},
      {"a", "abc", 0, {"正在采集详细信息,请稍候...", "采集完成！共计采集结果：0条"}},
      {"a", " ", 0, {"正在采集详细信息,请稍候..."}},
      {"a", "-1", 0, {"正在采集详细信息,请稍候..."}},
  };
  StartSite(0);
  for (const Case& c : cases) {
    site_->ResetStats();
    RecordingView view;
    settings_.Set(c.keywords, c.pages, "5");
    {
      HarvestEngine engine(table_, settings_, view, Config());
      engine.Collect();
      engine.WaitIdle();
    }
    EXPECT_EQ(site_->SearchRequests(), c.searchRequests) << c.keywords << "|" << c.pages;
    const auto statuses = view.Statuses();
    ASSERT_GE(statuses.size(), c.firstStatuses.size());
    for (size_t i = 0; i < c.firstStatuses.size(); ++i)
      EXPECT_EQ(statuses[i], c.firstStatuses[i]) << c.keywords << "|" << c.pages;
  }
}

TEST_F(HarvestEngineTest, EmptyBoxesShowTheNoticeAndStartNothing) {
  StartSite(4);
  for (const auto& [keywords, pages] : {std::pair{"", "1"}, std::pair{"a", ""}}) {
    RecordingView view;
    settings_.Set(keywords, pages, "5");
    HarvestEngine engine(table_, settings_, view, Config());
    engine.Collect();
    engine.WaitIdle();
    EXPECT_EQ(view.Notices(), std::vector<std::string>{"提示:请保证参数设置正确"});
    EXPECT_TRUE(view.Statuses().empty());
  }
  EXPECT_EQ(site_->SearchRequests(), 0);
}

TEST_F(HarvestEngineTest, CapIsNeverExceeded) {
  StartSite(12, 20);
  settings_.Set("cap", "1", "5");
  HarvestEngine engine(table_, settings_, view_, Config());
  engine.Collect();
  engine.WaitIdle();
  EXPECT_EQ(RowsWithStatus("采集完成"), 12);
  EXPECT_LE(site_->PeakConcurrentDetails(), 5);
  EXPECT_GE(site_->PeakConcurrentDetails(), 2);
}

TEST_F(HarvestEngineTest, StopInTheSearchPhaseKeepsRowsAndStartsNoWorker) {
  StartSite(4);
  settings_.Set("a\r\nb\r\nc", "1", "5");
  Gate gate;
  EngineConfig config = Config();
  auto searches = std::make_shared<std::atomic<int>>(0);
  config.transport.fetchSearchPage = [&, inner = config.transport.fetchSearchPage, searches](
                                         const Text& url, const web::CancelToken* cancel) {
    if (searches->fetch_add(1) == 1 && !gate.Pass(cancel)) return Bytes{};
    return inner(url, cancel);
  };
  HarvestEngine engine(table_, settings_, view_, config);
  engine.Collect();
  gate.AwaitWaiting(1);
  engine.Stop();
  const auto statusesAtStop = view_.Statuses();
  EXPECT_EQ(table_.RowCount(), 4);
  engine.WaitIdle();
  EXPECT_EQ(table_.RowCount(), 4);
  EXPECT_EQ(view_.Statuses(), statusesAtStop);
  EXPECT_EQ(statusesAtStop.back(), "正在采集关键词：b2/3   第1页");
  EXPECT_EQ(view_.CollectEnabled().back(), true);
  EXPECT_EQ(view_.LateWrites(), 0);
  EXPECT_EQ(site_->DetailRequests(), 0);
  EXPECT_EQ(RowsWithStatus(""), 4);
}

// A detail transport that waits at the gate before fetching.
EngineConfig GatedDetails(EngineConfig config, Gate& gate) {
  config.transport.fetchDetailPage = [&gate, inner = config.transport.fetchDetailPage](
                                         const Text& url, const web::CancelToken* cancel) {
    gate.Pass(nullptr);
    return inner(url, cancel);
  };
  return config;
}

TEST_F(HarvestEngineTest, StopInTheDispatchLetsRunningWorkersFinish) {
  StartSite(6);
  settings_.Set("a", "1", "2");
  Gate gate;
  HarvestEngine engine(table_, settings_, view_, GatedDetails(Config(), gate));
  engine.Collect();
  gate.AwaitWaiting(2);
  engine.Stop();
  EXPECT_TRUE(engine.StopRequested());
  gate.Open();
  engine.WaitIdle();
  EXPECT_EQ(RowsWithStatus("采集完成"), 2);
  EXPECT_EQ(RowsWithStatus(""), 4);
  EXPECT_EQ(view_.Statuses().back(), "正在采集详细信息,请稍候...");
  EXPECT_EQ(view_.LateWrites(), 0);
}

TEST_F(HarvestEngineTest, ClearDuringTheDispatchIsNeverWrittenInto) {
  StartSite(6);
  settings_.Set("a", "1", "3");
  Gate gate;
  HarvestEngine engine(table_, settings_, view_, GatedDetails(Config(), gate));
  engine.Collect();
  gate.AwaitWaiting(3);
  table_.ClearRows();
  gate.Open();
  engine.WaitIdle();
  EXPECT_EQ(table_.RowCount(), 0);
  EXPECT_EQ(view_.Statuses().back(), "采集完成！共计采集结果：0条");
}

// The id in ".../<id>.html" or ".../<id>.gif".
std::string IdOf(const std::string& url) {
  const size_t end = url.rfind('.');
  const size_t start = url.rfind('/', end) + 1;
  return url.substr(start, end - start);
}

TEST_F(HarvestEngineTest, NewRunAfterStopKeepsOldWorkersOutOfItsRows) {
  StartSite(5);
  settings_.Set("old", "1", "5");
  Gate oldGate;
  auto firstRun = std::make_shared<std::atomic<bool>>(true);
  EngineConfig config = Config();
  config.transport.fetchDetailPage = [&oldGate, firstRun, inner = config.transport.fetchDetailPage](
                                         const Text& url, const web::CancelToken* cancel) {
    if (*firstRun) oldGate.Pass(nullptr);
    return inner(url, cancel);
  };
  HarvestEngine engine(table_, settings_, view_, config);
  engine.Collect();
  oldGate.AwaitWaiting(5);
  engine.Stop();
  *firstRun = false;
  settings_.Set("new", "1", "6");
  engine.Collect();  // the old run's five workers still hold five of six slots
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_GE(engine.ActiveWorkerCount(), 5);
  oldGate.Open();
  engine.WaitIdle();
  ASSERT_EQ(table_.RowCount(), 5);
  EXPECT_EQ(RowsWithStatus("采集完成"), 5);
  const auto urls = Column(ResultColumn::Url);
  const auto qrs = Column(ResultColumn::QrImage);
  for (int r = 0; r < 5; ++r) {
    if (qrs[r] == "文章已经删除") continue;
    EXPECT_EQ(IdOf(urls[r]), IdOf(qrs[r])) << r;
  }
  EXPECT_EQ(view_.LateWrites(), 0);
}

TEST_F(HarvestEngineTest, StopBeforeAnyRunChangesNothing) {
  StartSite(2);
  settings_.Set("a", "1", "5");
  HarvestEngine engine(table_, settings_, view_, Config());
  engine.Stop();
  EXPECT_TRUE(engine.StopRequested());
  engine.Collect();
  EXPECT_FALSE(engine.StopRequested());
  engine.WaitIdle();
  EXPECT_EQ(RowsWithStatus("采集完成"), 2);
}

TEST_F(HarvestEngineTest, DestroyingTheEngineMidRunAbortsEverything) {
  StartSite(20, 200);
  settings_.Set("a\r\nb", "3", "20");
  {
    HarvestEngine engine(table_, settings_, view_, Config());
    engine.Collect();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(view_.LateWrites(), 0);
}

TEST(WaitDuration, Units) {
  struct Case {
    int amount, unit;
    long long millis;
  };
  const Case cases[] = {
      {500, 0, 500}, {2, 1, 2000}, {1, 2, 60000}, {1, 3, 3600000},
      {3, 7, 21},    {-5, 0, 0},   {5, -1, 0},    {1 << 30, 3, (1LL << 30) * 3600000}};
  for (const Case& c : cases)
    EXPECT_EQ(WaitDuration(c.amount, c.unit).count(), c.millis) << c.amount << "," << c.unit;
}

}  // namespace
}  // namespace zv::harvest
