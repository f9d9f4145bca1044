// The CLI's side of the engine ports: settings fixed by the command line, a
// view that writes status texts to stderr, and the table printed as TSV.
#pragma once

#include <mutex>
#include <ostream>

#include "app/cli/cli_options.h"
#include "harvest/result_table.h"
#include "harvest/run_ports.h"

namespace zv::app::cli {

class FixedSettings : public harvest::RunSettings {
 public:
  explicit FixedSettings(const CliOptions& options) : options_(options) {}
  text::Text KeywordsText() const override { return options_.keywordsText; }
  text::Text PagesText() const override { return options_.pagesText; }
  harvest::TimeFilter Filter() const override { return options_.filter; }
  text::Text WorkerCapText() const override { return options_.threadsText; }

 private:
  const CliOptions options_;
};

// Writes each status text (as UTF-8) to stderr as it changes. Thread-safe.
class StderrView : public harvest::RunView {
 public:
  void ShowStatus(const harvest::RunTokenPtr& token, const text::Text& text) override;
  void SetCollectEnabled(const harvest::RunTokenPtr&, bool) override {}
  void ShowNotice(const text::Text& text, const text::Text& title) override;
  bool NoticeShown() const;

 private:
  mutable std::mutex mutex_;
  bool noticeShown_ = false;  // guarded by mutex_
};

// A title line, then one line per row; cells as UTF-8 separated by TAB, with
// backslash, TAB, CR and LF inside a cell written as \\ \t \r \n.
void PrintTsv(const harvest::ResultTable& table, std::ostream& out);

}  // namespace zv::app::cli
