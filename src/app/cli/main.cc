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
#include "app/excel_export.h"
#include "app/qr_download.h"
#include "harvest/harvest_engine.h"
#include "harvest/result_table.h"
#include "text/codepage.h"
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

bool Export(const zv::harvest::ResultTable& table, const std::string& folder) {
  std::string error;
  const zv::text::Text path = zv::app::ExportTargetPath(zv::text::Gbk(folder));
  if (zv::app::ExportToExcel(path, zv::app::ExportTitles(), table, &error)) return true;
  std::cerr << "zorvane-harvest: export to " << folder << " failed: " << error << '\n';
  return false;
}

void DownloadQrImages(const zv::harvest::ResultTable& table, const std::string& folder) {
  zv::app::QrProgress last;
  zv::app::QrDownloader downloader(
      zv::app::SelectQrJobs(table, zv::app::QrSelection::All), folder,
      [&last](const zv::app::QrProgress& progress) { last = progress; });
  downloader.Start();
  downloader.Wait();
  std::cerr << "QR images: " << last.succeeded << " saved, " << last.failed << " failed\n";
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
  bool saved = true;
  if (!options->outFolder.empty()) saved = Export(table, options->outFolder);
  if (!options->qrFolder.empty()) DownloadQrImages(table, options->qrFolder);
  return saved ? 0 : 1;
}
