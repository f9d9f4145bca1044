#include "app/gui/settings_mirror.h"

#include <utility>

namespace zv::app {

void SettingsMirror::SetKeywords(text::Text keywords) {
  std::lock_guard lock(mutex_);
  keywords_ = std::move(keywords);
}

void SettingsMirror::SetPages(text::Text pages) {
  std::lock_guard lock(mutex_);
  pages_ = std::move(pages);
}

void SettingsMirror::SetFilter(harvest::TimeFilter filter) {
  std::lock_guard lock(mutex_);
  filter_ = filter;
}

void SettingsMirror::SetWorkerCap(text::Text workerCap) {
  std::lock_guard lock(mutex_);
  workerCap_ = std::move(workerCap);
}

text::Text SettingsMirror::KeywordsText() const {
  std::lock_guard lock(mutex_);
  return keywords_;
}

text::Text SettingsMirror::PagesText() const {
  std::lock_guard lock(mutex_);
  return pages_;
}

harvest::TimeFilter SettingsMirror::Filter() const {
  std::lock_guard lock(mutex_);
  return filter_;
}

text::Text SettingsMirror::WorkerCapText() const {
  std::lock_guard lock(mutex_);
  return workerCap_;
}

}  // namespace zv::app
