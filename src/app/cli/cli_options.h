// The command line of zorvane-harvest.
#pragma once

#include <optional>
#include <string>

#include "harvest/search_page.h"
#include "text/text.h"

namespace zv::app::cli {

struct CliOptions {
  std::string site;
  text::Text keywordsText;  // GBK, keywords joined by "\r\n" (the file's first)
  text::Text pagesText;     // GBK, as given
  harvest::TimeFilter filter = harvest::TimeFilter::WithinDay;
  text::Text threadsText;  // GBK, as given
  std::string outFolder;   // --out: where data.xls goes; empty for none
  std::string qrFolder;    // --qr: where the QR images go; empty for none
  bool tsv = false;
  bool verbose = false;
};

// The options, or nothing with `error` naming the problem in one line.
std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string* error);

}  // namespace zv::app::cli
