// HarvestEngine: the run control (Collect, Stop) and the process-wide run
// state (the collection thread, StopRequested, ActiveWorkerCount).
//
// Thread rule: Collect and Stop are called on the front end's thread (the
// window thread) and never wait for an engine thread. The collection thread
// runs HarvestRun; detail workers run one per row, at most the worker cap at
// once. Destroying the engine stops everything and waits for its threads.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "harvest/result_table.h"
#include "harvest/run_ports.h"
#include "web/cancel_token.h"

namespace zv::harvest {

// How pages are fetched; tests put faults in here.
struct Transport {
  // A search page (GET, every option left out); empty bytes on failure.
  std::function<Bytes(const Text& url, const web::CancelToken* cancel)> fetchSearchPage;
  // A detail page (GET, every option left out); empty bytes on failure.
  std::function<Bytes(const Text& url, const web::CancelToken* cancel)> fetchDetailPage;
};
// ComHttpFetch for search pages and InetHttpFetch for detail pages.
Transport DefaultTransport();

struct EngineConfig {
  std::string site;  // scheme, host and port of the directory site
  Transport transport = DefaultTransport();
  bool restrictToFirstProcessor = true;
};

class HarvestEngine {
 public:
  HarvestEngine(ResultTable& table, RunSettings& settings, RunView& view, EngineConfig config);
  ~HarvestEngine();
  HarvestEngine(const HarvestEngine&) = delete;
  HarvestEngine& operator=(const HarvestEngine&) = delete;

  // The Collect command: checks the settings, then starts a run.
  void Collect();
  // The Stop command: nothing of the running run becomes visible after it
  // returns; workers already started finish their rows.
  void Stop();

  bool StopRequested() const;
  // Detail workers started and not yet finished, over all runs.
  int ActiveWorkerCount() const;
  // Blocks until no collection thread and no worker is running. Not for the
  // window thread.
  void WaitIdle();

  // The run state the engine's threads share; defined in the implementation.
  struct Shared;

 private:
  std::shared_ptr<Shared> shared_;
};

}  // namespace zv::harvest
