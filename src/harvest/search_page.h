// The search-page harvest: the search URL of a keyword and page, the page's
// decoding, and the rows its listed entries become.
#pragma once

#include <functional>
#include <string_view>

#include "harvest/result_table.h"
#include "text/regex_matcher.h"
#include "text/text.h"

namespace zv::harvest {

using text::Bytes;

// The publication-time window of a search.
enum class TimeFilter { WithinMonth, WithinWeek, WithinDay, AllTime };

// The two patterns that pick a search page's entries out: the title pattern
// (group 1 the detail URL, group 2 the name line) and the source pattern
// (group 1 the text after "来自："). GBK texts.
const Text& TitlePattern();
const Text& SourcePattern();

// "site/cse/search?q=...&p=...&s=...[&sti=...]&nsid=0&entry=1", where `site`
// is scheme, host and optional port, e.g. "http://127.0.0.1:8080".
Text BuildSearchUrl(std::string_view site, const Text& keyword, int pageNumber, TimeFilter filter);

// Percent-encodes every byte ("%XX", upper-case hex), except "-", ".", digits
// and ASCII letters when keepUnreserved is on; with toUtf8 on the GBK text is
// first converted to UTF-8.
Text UrlEncode(const Text& text, bool keepUnreserved = false, bool toUtf8 = false);

// UTF-8 response bytes to GBK text: invalid sequences and characters without a
// GBK form become "?", and the text ends at the first zero byte.
Text Utf8BytesToText(const Bytes& bytes);

// Appends one row per entry of the search page `pageText`, numbering the Id
// from the row count, with Url, cleaned Name and Source filled.
// `appendRow` performs the append (so the caller can guard it); it returns
// false when the append was refused, which ends the page.
using RowAppender = std::function<bool(const std::function<void(int, Row&)>& fill)>;
void HarvestSearchPage(const Text& pageText, text::RegexMatcher& titleMatcher,
                       text::RegexMatcher& sourceMatcher, const RowAppender& appendRow);
// The same, appending straight to `table`.
void HarvestSearchPage(const Text& pageText, text::RegexMatcher& titleMatcher,
                       text::RegexMatcher& sourceMatcher, ResultTable& table);

}  // namespace zv::harvest
