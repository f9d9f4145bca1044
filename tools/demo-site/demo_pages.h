// The HTML pages of the demo directory, laid out line for line as a harvest
// reads them: the search page with CR LF line ends (link tag, name line and
// closing tag each on a line of its own, one "<span>来自：...</span>" per
// entry), the detail page with LF line ends and each field's label, value and
// closing tag on lines of their own, indented by fixed counts of spaces.
// Pages are UTF-8.
//
// Pure functions: safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "demo-site/demo_content.h"

namespace zv::demo {

// "/detail/<id>.html" and "/qr/<id>.gif".
std::string DetailPath(std::uint64_t id);
std::string QrImagePath(std::uint64_t id);

// A result page listing `entries` of `query`. Detail links are absolute:
// "http://" + `siteAuthority` (host and port, as the client reached the site)
// + DetailPath. Names carry EM markers around the keyword, in lower or upper
// case, some after ideographic spaces or before an emoji.
std::string SearchResultPage(const SearchQuery& query, const std::vector<ListedEntry>& entries,
                             int totalEntries, std::string_view siteAuthority);

// The detail page of a listed entry with its QR picture at `qrImageUrl`.
std::string DetailPage(std::uint64_t id, const EntryDetail& detail, std::string_view qrImageUrl);
// The page of a removed entry: it holds the marker "获得更多金币秘籍".
std::string RemovedEntryPage(std::uint64_t id);
// A small page for an HTTP error status.
std::string ErrorPage(int status);

}  // namespace zv::demo
