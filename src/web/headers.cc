#include "web/headers.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

namespace zv::web {
namespace {

// One step of the completion: the line is added when the test text is absent.
struct DefaultLine {
  std::string_view test;
  std::string_view line;
};

// Appends `line` to the block, after a "\r\n" unless the block is empty.
void AppendLine(Text& block, std::string_view line) {
  if (!block.empty()) block += "\r\n";
  block += line;
}

// Cuts the "; " a list built entry by entry ends with; empty stays empty.
Text WithoutLastTwo(const Text& joined) {
  return text::Left(joined, static_cast<int>(joined.size()) - 2);
}

Text CookieEntryName(const Text& entry) {
  const int equals = text::Find(entry, "=");
  return text::TrimSpaces(equals < 0 ? std::string_view(entry)
                                     : std::string_view(entry).substr(0, equals - 1));
}

bool EndsWithDeleted(const Text& entry) {
  constexpr std::string_view kDeleted = "=deleted";
  return entry.size() >= kDeleted.size() &&
         text::Right(entry, static_cast<int>(kDeleted.size())) == kDeleted;
}

// The entry of one Set-Cookie line: its name=value pair without attributes.
Text CookieEntryOfLine(const Text& line) {
  if (!text::Contains(line, ";")) {
    const text::ReplacePair removeName[] = {{"Set-Cookie:", ""}};
    return text::TrimSpaces(text::ReplacePairs(line, removeName));
  }
  return text::TrimSpaces(text::TextBetween(line, "Set-Cookie:", ";"));
}

// Joins the entries with "; ", each at its first occurrence only.
Text JoinDistinct(const std::vector<Text>& entries) {
  std::vector<Text> kept;
  for (const Text& entry : entries) {
    if (std::find(kept.begin(), kept.end(), entry) == kept.end()) kept.push_back(entry);
  }
  Text joined;
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (i > 0) joined += "; ";
    joined += kept[i];
  }
  return joined;
}

}  // namespace

void ComposeRequestHeaders(Text& requestHeaders, const Text& url, bool withUserAgent) {
  const Text referer = "Referer: " + url;
  const Text userAgent = Text("User-Agent: ") + kDefaultUserAgent;
  const std::array<DefaultLine, 5> defaults = {{
      {"Accept:", "Accept: */*"},
      {"Referer:", referer},
      {"Accept-Language:", "Accept-Language: zh-cn"},
      {"User-Agent:", userAgent},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded"},
  }};
  for (const DefaultLine& step : defaults) {
    if (step.test == "User-Agent:" && !withUserAgent) continue;
    if (!text::Contains(requestHeaders, step.test)) AppendLine(requestHeaders, step.line);
  }
}

std::pair<Text, Text> SplitHeaderLine(const Text& line) {
  const int colon = text::Find(line, ":");
  if (colon < 0) return {};
  const std::string_view whole(line);
  return {text::TrimSpaces(whole.substr(0, colon - 1)), text::TrimSpaces(whole.substr(colon))};
}

Text CollectSetCookies(Text& responseHeaders) {
  const text::ReplacePair normaliseCase[] = {{"Set-Cookie", "Set-Cookie"}};
  responseHeaders = text::ReplacePairs(responseHeaders, normaliseCase);
  Text cookies;
  for (const Text& line : text::Split(responseHeaders, "\r\n")) {
    if (!text::Contains(line, "Set-Cookie")) continue;
    cookies += CookieEntryOfLine(line);
    cookies += "; ";
  }
  return WithoutLastTwo(cookies);
}

Text MergeCookies(Text& cookies, Text& newCookies) {
  cookies = text::RemoveAllSpaces(cookies);
  newCookies = text::RemoveAllSpaces(newCookies);

  std::vector<Text> working = text::Split(newCookies, ";");
  for (const Text& old : text::Split(cookies, ";")) {
    const Text name = CookieEntryName(old);
    const bool named = std::any_of(working.begin(), working.end(), [&](const Text& entry) {
      return CookieEntryName(entry) == name;
    });
    if (!named) working.push_back(old);
  }

  Text merged;
  for (const Text& entry : working) {
    if (EndsWithDeleted(entry)) continue;
    merged += entry;
    merged += "; ";
  }
  cookies = JoinDistinct(text::Split(WithoutLastTwo(merged), "; "));
  return cookies;
}

}  // namespace zv::web
