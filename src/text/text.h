// Texts and byte buffers, and the text rules every layer relies on.
//
// A Text is a std::string of GBK bytes; the empty text and an absent text are
// the same. Bytes may hold zero bytes and carry their own length. Positions
// and lengths count bytes from 1; a search gives the 1-based position of the
// first occurrence or -1. Case folding touches only the ASCII letters A-Z.
// Every function here is pure and safe to call from any thread.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zv::text {

using Text = std::string;
using Bytes = std::vector<unsigned char>;

// The GBK bytes of a text, without a terminator.
Bytes TextToBytes(std::string_view text);
// The bytes before the first zero byte, taken as a text.
Text BytesToText(std::span<const unsigned char> bytes);
// The text before its first zero byte.
Text CutAtZero(std::string_view text);

// 1-based position of `what` in `text` at or after `start` (below 1 counts
// as 1), or -1. An empty `what` is never found.
int Find(std::string_view text, std::string_view what, int start = 1, bool ignoreCase = false);
bool Contains(std::string_view text, std::string_view what, bool ignoreCase = false);

// The left or right n bytes; n <= 0 gives the empty text, n past the end the whole.
Text Left(std::string_view text, int n);
Text Right(std::string_view text, int n);

// One piece per delimiter occurrence, plus the rest after the last delimiter
// when it is not empty; an empty text gives no pieces.
std::vector<Text> Split(std::string_view text, std::string_view delimiter);

// Removes ASCII spaces and GBK ideographic spaces (A1 A1) at both ends.
Text TrimSpaces(std::string_view text);
// Removes ASCII spaces only, at both ends.
Text TrimBlanks(std::string_view text);
// Removes every ASCII space and ideographic space anywhere in the text.
Text RemoveAllSpaces(std::string_view text);
// Lowers the ASCII letters A-Z, leaving every other byte (GBK included) alone.
Text ToLowerAscii(std::string_view text);

// Integer value: full-width ASCII forms and the ideographic space are taken
// as ASCII, leading white space is skipped, an optional sign and decimal
// digits are read. No digits give 0; the value saturates at the int range.
int IntegerValue(std::string_view text);

// The text with every "#引号" (exact case) replaced by a double quote.
Text ExpandQuoteMarkers(std::string_view text);

// The bytes between the first `startMarker` at or after `start` and the next
// `endMarker` after it; empty when either is missing. "#引号" in both markers
// stands for a double quote.
Text TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                 int start = 1, bool ignoreCase = false);

struct ReplacePair {
  std::string_view search;
  std::string_view replacement;
};

struct ReplaceOptions {
  int count = -1;  // how many occurrences to replace; below 0 means all
  int start = 1;   // 1-based position the search starts from; 0 counts as 1
  bool caseSensitive = false;
};

// Applies the pairs in order, each to the result of the previous one. Matches
// are sought only at GBK character boundaries; a pair with an empty search
// text changes nothing.
Text ReplacePairs(std::string_view text, std::span<const ReplacePair> pairs,
                  ReplaceOptions options = {});

}  // namespace zv::text
