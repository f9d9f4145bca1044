#include "app/cli/cli_options.h"

#include <map>
#include <set>
#include <string_view>
#include <vector>

#include "app/keyword_file.h"
#include "app/site_address.h"
#include "text/codepage.h"

namespace zv::app::cli {

namespace {

constexpr const char* kUsage =
    "usage: zorvane-harvest --site URL [--keyword K]... [--keywords-file FILE] [--pages N] "
    "[--filter month|week|day|all] [--threads N] [--tsv] [--out DIR] [--qr DIR] [--verbose]";

std::optional<harvest::TimeFilter> ParseFilter(std::string_view name) {
  static const std::map<std::string_view, harvest::TimeFilter> kFilters = {
      {"month", harvest::TimeFilter::WithinMonth},
      {"week", harvest::TimeFilter::WithinWeek},
      {"day", harvest::TimeFilter::WithinDay},
      {"all", harvest::TimeFilter::AllTime},
  };
  const auto found = kFilters.find(name);
  if (found == kFilters.end()) return std::nullopt;
  return found->second;
}

bool Fail(std::string* error, std::string message) {
  *error = std::move(message);
  return false;
}

class Parser {
 public:
  Parser(int argc, char** argv) : args_(argv + 1, argv + argc) {
    options_.site = kDefaultSiteUrl;
    options_.pagesText = "1";
    options_.threadsText = "5";
  }

  std::optional<CliOptions> Parse(std::string* error) {
    std::vector<std::string> keywords;
    std::optional<std::string> keywordsFile;
    for (size_t i = 0; i < args_.size(); ++i) {
      const std::string& arg = args_[i];
      if (arg == "--tsv") {
        options_.tsv = true;
      } else if (arg == "--verbose") {
        options_.verbose = true;
      } else if (arg == "--help") {
        *error = kUsage;
        return std::nullopt;
      } else if (IsValued(arg)) {
        if (i + 1 >= args_.size()) {
          *error = arg + " needs a value";
          return std::nullopt;
        }
        const std::string& value = args_[++i];
        if (!TakeValue(arg, value, keywords, keywordsFile, error)) return std::nullopt;
      } else {
        *error = "unknown option " + arg + "\n" + kUsage;
        return std::nullopt;
      }
    }
    if (!AssembleKeywords(keywords, keywordsFile, error)) return std::nullopt;
    return options_;
  }

 private:
  static bool IsValued(const std::string& arg) {
    static const std::set<std::string> kValued = {"--site",  "--keyword", "--keywords-file",
                                                  "--pages", "--filter",  "--threads",
                                                  "--out",   "--qr"};
    return kValued.contains(arg);
  }

  bool TakeValue(const std::string& arg, const std::string& value,
                 std::vector<std::string>& keywords, std::optional<std::string>& keywordsFile,
                 std::string* error) {
    if (arg == "--site") {
      if (!IsSiteUrl(value)) return Fail(error, "--site must be http(s)://host[:port]: " + value);
      options_.site = value;
    } else if (arg == "--keyword") {
      keywords.push_back(value);
    } else if (arg == "--keywords-file") {
      keywordsFile = value;
    } else if (arg == "--pages") {
      options_.pagesText = text::Gbk(value);
    } else if (arg == "--threads") {
      options_.threadsText = text::Gbk(value);
    } else if (arg == "--out") {
      options_.outFolder = value;
    } else if (arg == "--qr") {
      options_.qrFolder = value;
    } else if (arg == "--filter") {
      const auto filter = ParseFilter(value);
      if (!filter) return Fail(error, "--filter must be month, week, day or all: " + value);
      options_.filter = *filter;
    }
    return true;
  }

  bool AssembleKeywords(const std::vector<std::string>& keywords,
                        const std::optional<std::string>& keywordsFile, std::string* error) {
    if (keywordsFile) {
      const auto fileText = ReadKeywordFile(*keywordsFile);
      if (!fileText) return Fail(error, "cannot read keywords file " + *keywordsFile);
      options_.keywordsText = *fileText;
    }
    for (const std::string& keyword : keywords) {
      if (!options_.keywordsText.empty() && !options_.keywordsText.ends_with("\r\n"))
        options_.keywordsText += "\r\n";
      options_.keywordsText += text::Gbk(keyword);
    }
    if (options_.keywordsText.empty())
      return Fail(error, "no keywords: give --keyword or --keywords-file");
    return true;
  }

  std::vector<std::string> args_;
  CliOptions options_;
};

}  // namespace

std::optional<CliOptions> ParseCliOptions(int argc, char** argv, std::string* error) {
  return Parser(argc, argv).Parse(error);
}

}  // namespace zv::app::cli
