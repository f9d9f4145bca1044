// zorvane-harvest: the headless front end. Runs one harvest through the same
// engine as the window and prints its status texts and, on request, its table.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/cli_options.h"
#include "app/cli/cli_ports.h"
#include "harvest/harvest_engine.h"
#include "harvest/result_table.h"
#include "web/com_http_fetch.h"

namespace {

using zv::app::cli::CliOptions;

zv::harvest::Transport VerboseTransport(zv::harvest::Transport inner) {
  auto wrap = [](auto fetch, const char* what) {
    return [fetch, what](const zv::text::Text& url, const zv::web::CancelToken* cancel) {
      zv::text::Bytes body = fetch(url, cancel);
      if (body.empty())
        std::cerr << what << " failed: " << url << ": " << zv::web::LastFetchError() << '\n';
      return body;
    };
  };
  return {wrap(inner.fetchSearchPage, "search page"), wrap(inner.fetchDetailPage, "detail page")};
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const std::optional<CliOptions> options = zv::app::cli::ParseCliOptions(argc, argv, &error);
  if (!options) {
    std::cerr << "zorvane-harvest: " << error << '\n';
    return 2;
  }

  zv::harvest::ResultTable table;
  zv::app::cli::FixedSettings settings(*options);
  zv::app::cli::StderrView view;
  zv::harvest::EngineConfig config{options->site};
  if (options->verbose) config.transport = VerboseTransport(config.transport);
  {
    zv::harvest::HarvestEngine engine(table, settings, view, config);
    engine.Collect();
    engine.WaitIdle();
  }
  if (view.NoticeShown()) return 2;
  if (options->tsv) zv::app::cli::PrintTsv(table, std::cout);
  return 0;
}
