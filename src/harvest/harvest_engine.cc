#include "harvest/harvest_engine.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "harvest/detail_worker.h"
#include "harvest/processor_affinity.h"
#include "harvest/wait_pumping.h"
#include "text/codepage.h"
#include "text/pump.h"
#include "text/regex_matcher.h"
#include "web/com_http_fetch.h"
#include "web/inet_http_fetch.h"

namespace zv::harvest {

namespace {

// How often the dispatcher re-reads the worker cap while every slot is taken.
constexpr int kCapPollMs = 500;

Bytes FetchWith(Bytes (*fetch)(const Text&, web::FetchOptions&), const Text& url,
                const web::CancelToken* cancel) {
  web::FetchOptions options;
  options.cancel = cancel;
  return fetch(url, options);
}

Text PageStatusText(const Text& keyword, int keywordNumber, int keywordCount, int pageNumber) {
  static const Text prefix = text::Gbk("正在采集关键词：");
  static const Text page = text::Gbk("   第");
  static const Text suffix = text::Gbk("页");
  return prefix + keyword + std::to_string(keywordNumber) + "/" + std::to_string(keywordCount) +
         page + std::to_string(pageNumber) + suffix;
}

Text DetailPhaseText() {
  static const Text value = text::Gbk("正在采集详细信息,请稍候...");
  return value;
}

Text CompletionText(int rows) {
  static const Text prefix = text::Gbk("采集完成！共计采集结果：");
  static const Text suffix = text::Gbk("条");
  return prefix + std::to_string(rows) + suffix;
}

}  // namespace

Transport DefaultTransport() {
  return {
      [](const Text& url, const web::CancelToken* cancel) {
        return FetchWith(&web::ComHttpFetch, url, cancel);
      },
      [](const Text& url, const web::CancelToken* cancel) {
        return FetchWith(&web::InetHttpFetch, url, cancel);
      },
  };
}

// The process-wide run state and everything the engine's threads share. Each
// thread holds a reference, so the state outlives the last of them.
struct HarvestEngine::Shared {
  Shared(ResultTable& table, RunSettings& settings, RunView& view, EngineConfig config)
      : table(table), settings(settings), view(view), config(std::move(config)) {}

  ResultTable& table;
  RunSettings& settings;
  RunView& view;
  const EngineConfig config;

  // Writes of the commands themselves (Collect's own disabling, Stop's
  // enabling) carry this token; it is never revoked.
  const RunTokenPtr commandToken = std::make_shared<RunToken>();
  // Cancels every transfer, workers' included, when the engine goes away.
  web::CancelToken shutdown;

  std::atomic<int> StopRequested{0};
  std::atomic<int> ActiveWorkerCount{0};

  std::mutex mutex;
  // Notified when a worker finishes, on Stop, and when a thread ends.
  std::condition_variable changed;
  RunTokenPtr HarvestThread;  // guarded by mutex: the run started last
  int liveThreads = 0;        // guarded by mutex

  void Notify() {
    std::lock_guard lock(mutex);
    changed.notify_all();
  }
};

namespace {

using SharedPtr = std::shared_ptr<HarvestEngine::Shared>;

}  // namespace

HarvestEngine::HarvestEngine(ResultTable& table, RunSettings& settings, RunView& view,
                             EngineConfig config)
    : shared_(std::make_shared<Shared>(table, settings, view, std::move(config))) {}

HarvestEngine::~HarvestEngine() {
  Stop();
  shared_->shutdown.Cancel();
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return shared_->liveThreads == 0; });
}

bool HarvestEngine::StopRequested() const { return shared_->StopRequested.load() == 1; }

int HarvestEngine::ActiveWorkerCount() const { return shared_->ActiveWorkerCount.load(); }

void HarvestEngine::WaitIdle() {
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait(lock, [this] { return shared_->liveThreads == 0; });
}

void HarvestEngine::Stop() {
  RunTokenPtr running;
  {
    std::lock_guard lock(shared_->mutex);
    running = shared_->HarvestThread;
  }
  if (running) running->Revoke();
  shared_->StopRequested.store(1);
  shared_->Notify();
  shared_->view.SetCollectEnabled(shared_->commandToken, true);
}

namespace {

// Starts `body` on a thread of its own, counted in liveThreads until it ends.
// False when the thread could not be created.
bool StartThread(const SharedPtr& shared, std::function<void()> body) {
  {
    std::lock_guard lock(shared->mutex);
    ++shared->liveThreads;
  }
  try {
    std::thread([shared, body = std::move(body)] {
      body();
      std::lock_guard lock(shared->mutex);
      --shared->liveThreads;
      shared->changed.notify_all();
    }).detach();
    return true;
  } catch (const std::system_error&) {
    std::lock_guard lock(shared->mutex);
    --shared->liveThreads;
    shared->changed.notify_all();
    return false;
  }
}

// One harvest run, the work of its collection thread. Every visible effect
// goes through the run's token, so nothing of it shows once Stop revoked it.
class CollectionRun {
 public:
  CollectionRun(SharedPtr shared, RunTokenPtr token)
      : shared_(std::move(shared)), token_(std::move(token)) {}

  void HarvestRun() {
    if (!Show([&] {
          shared_->table.ClearRows();
          shared_->view.SetCollectEnabled(token_, false);
        }))
      return;
    if (!SearchPhase()) return;
    if (!Show([&] { shared_->view.ShowStatus(token_, DetailPhaseText()); })) return;
    DispatchDetails();
    Show([&] {
      shared_->view.ShowStatus(token_, CompletionText(shared_->table.RowCount()));
      shared_->view.SetCollectEnabled(token_, true);
    });
  }

 private:
  template <class Body>
  bool Show(Body&& body) {
    return token_->WhileLive(std::forward<Body>(body));
  }
  bool Live() const { return token_->IsLive(); }

  // Every keyword, every page; false when the run was stopped.
  bool SearchPhase() {
    const std::vector<Text> keywords = text::Split(shared_->settings.KeywordsText(), "\r\n");
    const int keywordCount = static_cast<int>(keywords.size());
    for (int i = 1; i <= keywordCount; ++i) {
      text::PumpPendingMessages();
      if (!Live()) return false;
      const int pages = text::IntegerValue(shared_->settings.PagesText());
      for (int j = 1; j <= pages; ++j) {
        text::PumpPendingMessages();
        const Text& keyword = keywords[i - 1];
        if (!Show([&] {
              shared_->view.ShowStatus(token_, PageStatusText(keyword, i, keywordCount, j));
            }))
          return false;
        if (!HarvestPage(keyword, j)) return false;
      }
    }
    return true;
  }

  bool HarvestPage(const Text& keyword, int pageNumber) {
    const Text url =
        BuildSearchUrl(shared_->config.site, keyword, pageNumber, shared_->settings.Filter());
    const Text page =
        Utf8BytesToText(shared_->config.transport.fetchSearchPage(url, &token_->Cancel()));
    if (!Live()) return false;
    HarvestSearchPage(page, titleMatcher_, sourceMatcher_, [this](const auto& fill) {
      return Show([&] { shared_->table.AppendRow(fill); });
    });
    return Live();
  }

  void DispatchDetails() {
    // The epoch first: a clearing in between leaves every ref pointing at
    // rows that are gone, so their writes change nothing.
    const std::uint64_t epoch = shared_->table.Epoch();
    const int total = shared_->table.RowCount();
    for (int r = 1; r <= total; ++r) {
      text::PumpPendingMessages();
      if (shared_->StopRequested.load() == 1 || !Live()) return;
      if (!WaitForFreeSlot()) return;
      StartWorker({epoch, r - 1});
    }
  }

  // False when Stop came while waiting.
  bool WaitForFreeSlot() {
    std::unique_lock lock(shared_->mutex);
    for (;;) {
      const auto stopped = [&] { return shared_->StopRequested.load() == 1 || !Live(); };
      if (stopped()) return false;
      const int cap = WorkerCap();
      if (shared_->ActiveWorkerCount.load() < cap) return true;
      WaitPumping(lock, shared_->changed, kCapPollMs, 0,
                  [&] { return stopped() || shared_->ActiveWorkerCount.load() < cap; });
    }
  }

  // The selected thread count; a cap below 1 counts as 1, so the dispatch
  // always moves on.
  int WorkerCap() const {
    return std::max(1, text::IntegerValue(shared_->settings.WorkerCapText()));
  }

  void StartWorker(RowRef row) {
    shared_->ActiveWorkerCount.fetch_add(1);
    const SharedPtr shared = shared_;
    const bool started = StartThread(shared, [shared, row] {
      DetailWorker(shared->table, row, [&shared](const Text& url) {
        return shared->config.transport.fetchDetailPage(url, &shared->shutdown);
      });
      shared->ActiveWorkerCount.fetch_sub(1);
      shared->Notify();
    });
    if (!started) shared_->ActiveWorkerCount.fetch_sub(1);
  }

  SharedPtr shared_;
  RunTokenPtr token_;
  text::RegexMatcher titleMatcher_;
  text::RegexMatcher sourceMatcher_;
};

}  // namespace

void HarvestEngine::Collect() {
  static const Text notice = text::Gbk("请保证参数设置正确");
  static const Text title = text::Gbk("提示");
  if (shared_->settings.KeywordsText().empty() || shared_->settings.PagesText().empty()) {
    shared_->view.ShowNotice(notice, title);
    return;
  }
  if (shared_->config.restrictToFirstProcessor) RestrictToFirstProcessor();
  shared_->StopRequested.store(0);

  auto token = std::make_shared<RunToken>();
  {
    std::lock_guard lock(shared_->mutex);
    shared_->HarvestThread = token;
  }
  // Disabled here already, so a quick second click cannot start a second run.
  shared_->view.SetCollectEnabled(shared_->commandToken, false);
  const SharedPtr shared = shared_;
  const bool started = StartThread(shared, [shared, token] {
    CollectionRun run(shared, token);
    run.HarvestRun();
  });
  if (started) return;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->HarvestThread.reset();
  }
  shared_->view.SetCollectEnabled(shared_->commandToken, true);
}

}  // namespace zv::harvest
