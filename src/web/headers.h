// Request header blocks and cookie strings shared by both fetches.
//
// A header block is "name: value" lines joined by "\r\n" with nothing after
// the last; a cookie string is name=value entries joined by "; ". Pure text
// work, no shared state: any thread may call these.
#pragma once

#include <utility>

#include "text/text.h"

namespace zv::web {

using text::Text;

// Appends the default Accept, Referer, Accept-Language, (User-Agent) and
// Content-Type lines that the block does not hold yet (case-sensitive tests
// anywhere in the block).
void ComposeRequestHeaders(Text& requestHeaders, const Text& url, bool withUserAgent);

// Name and value of one header line, each trimmed; both empty without a colon.
std::pair<Text, Text> SplitHeaderLine(const Text& line);

// Normalises the letter case of "Set-Cookie" in `responseHeaders` and returns
// the cookie string of its Set-Cookie lines.
Text CollectSetCookies(Text& responseHeaders);

// Merges `newCookies` over `cookies` (new entries first, then old entries of
// other names, "=deleted" entries dropped, exact duplicates removed). Both
// variables lose their blanks; the merge is stored in `cookies` and returned.
Text MergeCookies(Text& cookies, Text& newCookies);

// The user agent both fetches send unless the caller's block names another.
inline constexpr const char* kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

}  // namespace zv::web
