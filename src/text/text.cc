#include "text/text.h"

#include <algorithm>
#include <climits>

#include "text/codepage.h"

namespace zv::text {

namespace {

constexpr unsigned char kIdeographicSpaceByte = 0xA1;
constexpr unsigned char kFullWidthLead = 0xA3;

unsigned char ByteAt(std::string_view text, size_t i) {
  return static_cast<unsigned char>(text[i]);
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }
bool IsTrailByte(unsigned char b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// The byte length (1 or 2) of the GBK character that starts at `i`.
size_t CharLength(std::string_view text, size_t i) {
  return (IsLeadByte(ByteAt(text, i)) && i + 1 < text.size() && IsTrailByte(ByteAt(text, i + 1)))
             ? 2
             : 1;
}

bool IsIdeographicSpaceAt(std::string_view text, size_t i) {
  return i + 1 < text.size() && ByteAt(text, i) == kIdeographicSpaceByte &&
         ByteAt(text, i + 1) == kIdeographicSpaceByte;
}

// The length of the blank (ASCII space or ideographic space) at `i`, or 0.
size_t BlankLengthAt(std::string_view text, size_t i) {
  if (text[i] == ' ') return 1;
  return IsIdeographicSpaceAt(text, i) ? 2 : 0;
}

size_t FindBytes(std::string_view text, std::string_view what, size_t from, bool ignoreCase) {
  if (!ignoreCase) return text.find(what, from);
  auto equalFolded = [](char a, char b) { return FoldAscii(a) == FoldAscii(b); };
  if (from > text.size()) return std::string_view::npos;
  auto it = std::search(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(), what.begin(),
                        what.end(), equalFolded);
  return it == text.end() ? std::string_view::npos : static_cast<size_t>(it - text.begin());
}

size_t ZeroBasedStart(int start) { return start < 1 ? 0 : static_cast<size_t>(start) - 1; }

// True when `search` occupies whole GBK characters of `text` from the boundary
// `i` on. Folding touches single-byte characters only, never trail bytes.
bool MatchesCharsAt(std::string_view text, size_t i, std::string_view search, bool foldCase) {
  const size_t end = i + search.size();
  if (end > text.size()) return false;
  size_t j = i;
  while (j < end) {
    const size_t length = CharLength(text, j);
    if (j + length > end) return false;
    const std::string_view wanted = search.substr(j - i, length);
    if (length == 1 ? (foldCase ? FoldAscii(text[j]) != FoldAscii(wanted[0]) : text[j] != wanted[0])
                    : text.substr(j, length) != wanted)
      return false;
    j += length;
  }
  return true;
}

Text ReplaceOne(std::string_view text, const ReplacePair& pair, const ReplaceOptions& options) {
  Text result;
  result.reserve(text.size());
  const size_t from = ZeroBasedStart(options.start);
  int remaining = options.count;
  size_t i = 0;
  while (i < text.size()) {
    if (i >= from && remaining != 0 &&
        MatchesCharsAt(text, i, pair.search, !options.caseSensitive)) {
      result += pair.replacement;
      i += pair.search.size();
      if (remaining > 0) --remaining;
      continue;
    }
    const size_t length = CharLength(text, i);
    result.append(text.substr(i, length));
    i += length;
  }
  return result;
}

int Saturate(long long value) {
  return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The text with full-width ASCII forms and ideographic spaces taken as ASCII.
Text MapFullWidthToAscii(std::string_view text) {
  Text mapped;
  mapped.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t length = CharLength(text, i);
    if (length == 2 && IsIdeographicSpaceAt(text, i)) {
      mapped += ' ';
    } else if (length == 2 && ByteAt(text, i) == kFullWidthLead && ByteAt(text, i + 1) >= 0xA1) {
      mapped += static_cast<char>(ByteAt(text, i + 1) - 0x80);
    } else {
      mapped.append(text.substr(i, length));
    }
    i += length;
  }
  return mapped;
}

bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

const Text& QuoteMarker() {
  static const Text marker = Gbk("#引号");
  return marker;
}

// One walk over the text that drops every blank it meets.
Text RemoveBlanksOnce(std::string_view text) {
  Text result;
  result.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const size_t blank = BlankLengthAt(text, i);
    const size_t length = blank > 0 ? blank : CharLength(text, i);
    if (blank == 0) result.append(text.substr(i, length));
    i += length;
  }
  return result;
}

}  // namespace

Bytes TextToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

Text BytesToText(std::span<const unsigned char> bytes) {
  const auto zero = std::find(bytes.begin(), bytes.end(), 0);
  return Text(bytes.begin(), zero);
}

Text CutAtZero(std::string_view text) { return Text(text.substr(0, text.find('\0'))); }

int Find(std::string_view text, std::string_view what, int start, bool ignoreCase) {
  if (what.empty()) return -1;
  const size_t found = FindBytes(text, what, ZeroBasedStart(start), ignoreCase);
  return found == std::string_view::npos ? -1 : static_cast<int>(found) + 1;
}

bool Contains(std::string_view text, std::string_view what, bool ignoreCase) {
  return Find(text, what, 1, ignoreCase) > 0;
}

Text Left(std::string_view text, int n) {
  if (n <= 0) return {};
  return Text(text.substr(0, static_cast<size_t>(n)));
}

Text Right(std::string_view text, int n) {
  if (n <= 0) return {};
  const size_t count = std::min(text.size(), static_cast<size_t>(n));
  return Text(text.substr(text.size() - count));
}

std::vector<Text> Split(std::string_view text, std::string_view delimiter) {
  std::vector<Text> pieces;
  if (text.empty()) return pieces;
  if (delimiter.empty()) return {Text(text)};
  size_t begin = 0;
  for (size_t found; (found = text.find(delimiter, begin)) != std::string_view::npos;) {
    pieces.emplace_back(text.substr(begin, found - begin));
    begin = found + delimiter.size();
  }
  if (begin < text.size()) pieces.emplace_back(text.substr(begin));
  return pieces;
}

Text TrimSpaces(std::string_view text) {
  size_t begin = 0;
  while (begin < text.size() && BlankLengthAt(text, begin) > 0) begin += BlankLengthAt(text, begin);
  // Walk whole characters so a trail byte A1 is never taken for half a blank.
  size_t end = begin;
  for (size_t i = begin; i < text.size();) {
    const size_t blank = BlankLengthAt(text, i);
    const size_t length = blank > 0 ? blank : CharLength(text, i);
    i += length;
    if (blank == 0) end = i;
  }
  return Text(text.substr(begin, end - begin));
}

Text TrimBlanks(std::string_view text) {
  const size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return {};
  const size_t end = text.find_last_not_of(' ');
  return Text(text.substr(begin, end - begin + 1));
}

// Dropping an ASCII space can join the bytes beside it into a new ideographic
// space ("\xA1 \xA1"), so a second walk follows. It leaves nothing behind: the
// first one took every ASCII space, and dropping an A1 A1 at a character
// boundary never joins bytes into a new character.
Text RemoveAllSpaces(std::string_view text) { return RemoveBlanksOnce(RemoveBlanksOnce(text)); }

Text ToLowerAscii(std::string_view text) {
  Text lowered(text);
  std::transform(lowered.begin(), lowered.end(), lowered.begin(), FoldAscii);
  return lowered;
}

int IntegerValue(std::string_view text) {
  const Text mapped = MapFullWidthToAscii(text);
  size_t i = 0;
  while (i < mapped.size() && IsWhiteSpace(mapped[i])) ++i;
  bool negative = false;
  if (i < mapped.size() && (mapped[i] == '+' || mapped[i] == '-')) negative = mapped[i++] == '-';
  long long value = 0;
  for (; i < mapped.size() && mapped[i] >= '0' && mapped[i] <= '9'; ++i) {
    value =
        std::min<long long>(value * 10 + (mapped[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  return Saturate(negative ? -value : value);
}

Text ExpandQuoteMarkers(std::string_view text) {
  const ReplacePair pair{QuoteMarker(), "\""};
  return ReplacePairs(text, std::span(&pair, 1), {.caseSensitive = true});
}

Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int start, bool ignoreCase) {
  const Text opening = ExpandQuoteMarkers(startMarker);
  const Text closing = ExpandQuoteMarkers(endMarker);
  const int openAt = Find(text, opening, start, ignoreCase);
  if (openAt < 0) return {};
  const int valueAt = openAt + static_cast<int>(opening.size());
  const int closeAt = Find(text, closing, valueAt, ignoreCase);
  if (closeAt < 0) return {};
  return Text(
      text.substr(static_cast<size_t>(valueAt) - 1, static_cast<size_t>(closeAt - valueAt)));
}

Text ReplacePairs(std::string_view text, std::span<const ReplacePair> pairs,
                  ReplaceOptions options) {
  Text result(text);
  for (const ReplacePair& pair : pairs) {
    if (!pair.search.empty()) result = ReplaceOne(result, pair, options);
  }
  return result;
}

}  // namespace zv::text
