// SettingsMirror: the run settings as the window's controls hold them, kept
// as GBK copies so that engine threads read them at once, without ever
// waiting for the window thread.
//
// Thread rule: the setters run on the window thread (from the controls'
// change signals); the readers may run on any thread. Each read or write is
// atomic under one mutex.
#pragma once

#include <mutex>

#include "harvest/run_ports.h"

namespace zv::app {

class SettingsMirror final : public harvest::RunSettings {
 public:
  void SetKeywords(text::Text keywords);
  void SetPages(text::Text pages);
  void SetFilter(harvest::TimeFilter filter);
  void SetWorkerCap(text::Text workerCap);

  text::Text KeywordsText() const override;
  text::Text PagesText() const override;
  harvest::TimeFilter Filter() const override;
  text::Text WorkerCapText() const override;

 private:
  mutable std::mutex mutex_;
  text::Text keywords_;                                          // guarded by mutex_
  text::Text pages_;                                             // guarded by mutex_
  harvest::TimeFilter filter_ = harvest::TimeFilter::WithinDay;  // guarded by mutex_
  text::Text workerCap_;                                         // guarded by mutex_
};

}  // namespace zv::app
