// The demo directory's content: which entries a search lists, what each
// entry's detail page shows and its QR picture. Everything is a pure function
// of its arguments, so a test can predict every page the site serves. Texts
// are UTF-8.
//
// Pure functions: safe to call from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "demo-site/gif_image.h"

namespace zv::demo {

// The sources a listing names; a listing's source follows from its id.
inline constexpr const char* kGroupSource = "微信群";
inline constexpr const char* kOfficialAccountSource = "公众号";
inline constexpr const char* kPersonalAccountSource = "个人微信号";

// One search: the keyword as the user typed it, the page index (from 0) and
// the raw `sti` value (empty when the request carries none: all time).
struct SearchQuery {
  std::string keyword;
  int pageIndex = 0;
  std::string sti;
};

// The shape of the listings: entries per page and how many pages have any.
struct ListingShape {
  int entriesPerPage = 20;
  int pagesPerKeyword = 50;
};

// One entry of a result page.
struct ListedEntry {
  std::uint64_t id = 0;
  std::string name;    // the plain name, as a harvest keeps it
  std::string source;  // one of the three sources above
};

// The entries of one result page, in page order; none for a page index below
// 0 or at or past pagesPerKeyword. The same query always lists the same ids.
std::vector<ListedEntry> ListEntries(const SearchQuery& query, const ListingShape& shape);
// All entries of a keyword and time filter: entriesPerPage * pagesPerKeyword.
int TotalEntries(const ListingShape& shape);

// What a detail page shows besides the QR picture.
struct EntryDetail {
  std::string description;
  std::string industry;
  std::string time;  // "YYYY-MM-DD"
  std::string region;
  std::vector<std::string> tags;  // at least one
  std::string wechatId;
};

EntryDetail DetailOf(std::uint64_t id);
std::string SourceOf(std::uint64_t id);
// Every 7th id names an entry the directory has removed.
bool IsRemovedEntry(std::uint64_t id);
// Whether the detail request of `id` fails when `failRate` (0 to 1) of all
// detail requests fail; the choice spreads evenly over the ids.
bool IsFailingEntry(std::uint64_t id, double failRate);

// The QR code of an entry: a 21x21 module pattern in a quiet zone of 4
// modules, each module `kQrModulePixels` square.
inline constexpr int kQrModules = 21;
inline constexpr int kQrQuietModules = 4;
inline constexpr int kQrModulePixels = 4;
Bitmap QrBitmap(std::uint64_t id);

}  // namespace zv::demo
