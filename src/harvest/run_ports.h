// The ports through which a harvest run meets its front end (the window, the
// CLI, a test). Implementations must never block an engine thread on the
// front end's own thread.
#pragma once

#include "harvest/run_token.h"
#include "harvest/search_page.h"

namespace zv::harvest {

// The run's settings, read whenever the run needs them. Called from engine
// threads; must answer at once (from a mirror of the controls, say).
class RunSettings {
 public:
  virtual ~RunSettings() = default;
  virtual Text KeywordsText() const = 0;  // GBK, lines split at "\r\n"
  virtual Text PagesText() const = 0;     // pages per keyword, as typed
  virtual TimeFilter Filter() const = 0;
  virtual Text WorkerCapText() const = 0;  // the selected thread count; empty for none
};

// What a run shows. The engine calls these only while `token` is live (from
// the collection thread, or from the window thread inside Collect and Stop);
// an implementation that defers the write must drop it if the token has been
// revoked by the time it lands.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual void ShowStatus(const RunTokenPtr& token, const Text& text) = 0;
  virtual void SetCollectEnabled(const RunTokenPtr& token, bool enabled) = 0;
  // The Collect command's notice; called on the window thread only.
  virtual void ShowNotice(const Text& text, const Text& title) = 0;
};

}  // namespace zv::harvest
