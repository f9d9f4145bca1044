#include "harvest/search_page.h"

#include <array>
#include <cstdio>

#include "text/codepage.h"
#include "text/pump.h"

namespace zv::harvest {

namespace {

constexpr std::string_view kSearchPath = "/cse/search?q=";

std::string_view FilterTail(TimeFilter filter) {
  switch (filter) {
    case TimeFilter::WithinMonth:
      return "&s=1626844590849882386&sti=43200&nsid=0&entry=1";
    case TimeFilter::WithinWeek:
      return "&s=1626844590849882386&sti=10080&nsid=0&entry=1";
    case TimeFilter::WithinDay:
      return "&s=1626844590849882386&sti=1440&nsid=0&entry=1";
    case TimeFilter::AllTime:
      break;
  }
  return "&s=1626844590849882386&nsid=0&entry=1";
}

bool IsUnreserved(unsigned char byte) {
  return byte == '-' || byte == '.' || (byte >= '0' && byte <= '9') ||
         (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

// The name line of a listing, cleaned of quotes, EM markers and the "?" that
// stands for characters the page decoding could not carry over.
Text CleanName(const Text& nameLine) {
  static constexpr std::array<text::ReplacePair, 5> kNamePairs = {{
      {"\"", ""},
      {"<em>", ""},
      {"</em>", ""},
      {"?", ""},
      {"em>", ""},
  }};
  return text::TrimSpaces(text::ReplacePairs(nameLine, kNamePairs));
}

}  // namespace

const Text& TitlePattern() {
  static const Text pattern =
      "<a rpos=\"\" cpos=\"title\" href=\"(.*?)\" target=\"_blank\">\r\n(.*?)\r\n.*?</a>\r";
  return pattern;
}

const Text& SourcePattern() {
  static const Text pattern = text::Gbk("<span>来自：(.*?)</span>");
  return pattern;
}

Text BuildSearchUrl(std::string_view site, const Text& keyword, int pageNumber, TimeFilter filter) {
  Text url(site);
  url += kSearchPath;
  url += UrlEncode(keyword, true, true);
  url += "&p=";
  url += std::to_string(pageNumber - 1);
  url += FilterTail(filter);
  return url;
}

Text UrlEncode(const Text& text, bool keepUnreserved, bool toUtf8) {
  if (text.empty()) return {};
  const std::string bytes = toUtf8 ? text::GbkToUtf8(text) : text;
  Text encoded;
  encoded.reserve(bytes.size() * 3);
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (keepUnreserved && IsUnreserved(byte)) {
      encoded += c;
      continue;
    }
    char escape[4];
    std::snprintf(escape, sizeof escape, "%%%02X", byte);
    encoded += escape;
  }
  return encoded;
}

Text Utf8BytesToText(const Bytes& bytes) {
  if (bytes.empty()) return {};
  const std::string_view utf8(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  return text::CutAtZero(text::Utf8ToGbk(utf8));
}

void HarvestSearchPage(const Text& pageText, text::RegexMatcher& titleMatcher,
                       text::RegexMatcher& sourceMatcher, const RowAppender& appendRow) {
  titleMatcher.Search(TitlePattern(), pageText);
  sourceMatcher.Search(SourcePattern(), pageText);
  const int entries = titleMatcher.MatchCount();
  for (int k = 1; k <= entries; ++k) {
    text::PumpPendingMessages();
    const bool appended = appendRow([&](int index, Row& cells) {
      cells[static_cast<int>(ResultColumn::Id)] = std::to_string(index + 1);
      cells[static_cast<int>(ResultColumn::Url)] = titleMatcher.SubmatchText(k, 1);
      cells[static_cast<int>(ResultColumn::Name)] = CleanName(titleMatcher.SubmatchText(k, 2));
      cells[static_cast<int>(ResultColumn::Source)] = sourceMatcher.SubmatchText(k, 1);
    });
    if (!appended) return;
  }
}

void HarvestSearchPage(const Text& pageText, text::RegexMatcher& titleMatcher,
                       text::RegexMatcher& sourceMatcher, ResultTable& table) {
  HarvestSearchPage(pageText, titleMatcher, sourceMatcher, [&table](const auto& fill) {
    table.AppendRow(fill);
    return true;
  });
}

}  // namespace zv::harvest
