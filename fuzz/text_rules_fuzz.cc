// Fuzzes the text rules and the code-page conversions with arbitrary bytes:
// no crash, no sanitizer report, and the invariants each rule promises.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/codepage.h"
#include "text/text.h"

namespace {

using zv::text::CodePage;
using zv::text::Text;

// The parameters the rules take besides the text, drawn from the input's head.
struct Parameters {
  std::string what;
  std::string delimiter;
  std::string startMarker;
  std::string endMarker;
  int start = 1;
  int count = 0;
  bool ignoreCase = false;
  std::vector<std::string> pairTexts;  // search, replacement, search, ...
  int replaceCount = -1;
  int replaceStart = 1;
  bool caseSensitive = false;
};

Parameters DrawParameters(FuzzedDataProvider& in) {
  Parameters p;
  p.what = in.ConsumeRandomLengthString(8);
  p.delimiter = in.ConsumeRandomLengthString(4);
  p.startMarker = in.ConsumeRandomLengthString(8);
  p.endMarker = in.ConsumeRandomLengthString(8);
  p.start = in.ConsumeIntegralInRange<int>(-2, 80);
  p.count = in.ConsumeIntegralInRange<int>(-2, 80);
  p.ignoreCase = in.ConsumeBool();
  const int pairs = in.ConsumeIntegralInRange<int>(1, 5);
  for (int i = 0; i < 2 * pairs; ++i) p.pairTexts.push_back(in.ConsumeRandomLengthString(6));
  p.replaceCount = in.ConsumeIntegralInRange<int>(-1, 3);
  p.replaceStart = in.ConsumeIntegralInRange<int>(-1, 40);
  p.caseSensitive = in.ConsumeBool();
  return p;
}

bool EqualFolded(std::string_view a, std::string_view b) {
  return zv::text::ToLowerAscii(a) == zv::text::ToLowerAscii(b);
}

void CheckFind(const Text& text, const Parameters& p) {
  const int found = zv::text::Find(text, p.what, p.start, p.ignoreCase);
  if (found < 0) {
    ZV_FUZZ_CHECK(found == -1);
    return;
  }
  ZV_FUZZ_CHECK(!p.what.empty() && found >= std::max(p.start, 1));
  const std::string_view at = std::string_view(text).substr(static_cast<size_t>(found) - 1);
  ZV_FUZZ_CHECK(at.size() >= p.what.size());
  const std::string_view hit = at.substr(0, p.what.size());
  ZV_FUZZ_CHECK(p.ignoreCase ? EqualFolded(hit, p.what) : hit == p.what);
  ZV_FUZZ_CHECK(zv::text::Contains(text, p.what, p.ignoreCase));
}

void CheckLeftRight(const Text& text, int n) {
  const size_t expected = std::clamp<long long>(n, 0, static_cast<long long>(text.size()));
  const Text left = zv::text::Left(text, n);
  const Text right = zv::text::Right(text, n);
  ZV_FUZZ_CHECK(left.size() == expected && text.starts_with(left));
  ZV_FUZZ_CHECK(right.size() == expected && text.ends_with(right));
}

void CheckSplit(const Text& text, const std::string& delimiter) {
  const std::vector<Text> pieces = zv::text::Split(text, delimiter);
  if (text.empty()) {
    ZV_FUZZ_CHECK(pieces.empty());
    return;
  }
  if (delimiter.empty()) return;
  Text joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    ZV_FUZZ_CHECK(pieces[i].find(delimiter) == Text::npos);
    if (i > 0) joined += delimiter;
    joined += pieces[i];
  }
  // The rest after the last delimiter is a piece only when it is not empty.
  ZV_FUZZ_CHECK(joined == text || joined + delimiter == text);
}

bool StartsWithBlank(std::string_view text) {
  return text.starts_with(' ') || text.starts_with("\xA1\xA1");
}

void CheckTrims(const Text& text) {
  const Text trimmed = zv::text::TrimSpaces(text);
  ZV_FUZZ_CHECK(text.find(trimmed) != Text::npos);
  ZV_FUZZ_CHECK(!StartsWithBlank(trimmed) && !trimmed.ends_with(' '));
  ZV_FUZZ_CHECK(zv::text::TrimSpaces(trimmed) == trimmed);

  // TrimBlanks takes ASCII spaces, and only them, off both ends.
  const Text blanksTrimmed = zv::text::TrimBlanks(text);
  ZV_FUZZ_CHECK(!blanksTrimmed.starts_with(' ') && !blanksTrimmed.ends_with(' '));
  const size_t leading = blanksTrimmed.empty() ? text.size() : text.find_first_not_of(' ');
  ZV_FUZZ_CHECK(text.compare(leading, blanksTrimmed.size(), blanksTrimmed) == 0);
  const std::string_view trailing =
      std::string_view(text).substr(std::min(text.size(), leading + blanksTrimmed.size()));
  ZV_FUZZ_CHECK(trailing.find_first_not_of(' ') == std::string_view::npos);

  const Text spaceless = zv::text::RemoveAllSpaces(text);
  ZV_FUZZ_CHECK(spaceless.find(' ') == Text::npos && spaceless.size() <= text.size());
  ZV_FUZZ_CHECK(zv::text::RemoveAllSpaces(spaceless) == spaceless);
}

void CheckIntegerValue(const Text& text) {
  const int value = zv::text::IntegerValue(text);
  const bool plainDigits =
      !text.empty() && text.size() <= 9 &&
      std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (plainDigits) ZV_FUZZ_CHECK(value == std::stoi(text));
}

void CheckTextBetween(const Text& text, const Parameters& p) {
  const Text between =
      zv::text::TextBetween(text, p.startMarker, p.endMarker, p.start, p.ignoreCase);
  if (between.empty()) return;
  const Text framed = zv::text::ExpandQuoteMarkers(p.startMarker) + between +
                      zv::text::ExpandQuoteMarkers(p.endMarker);
  ZV_FUZZ_CHECK(zv::text::Find(text, framed, p.start, p.ignoreCase) > 0);
}

void CheckReplacePairs(const Text& text, const Parameters& p) {
  std::vector<zv::text::ReplacePair> pairs;
  bool identityPairs = true;
  bool anyFound = false;
  for (size_t i = 0; i + 1 < p.pairTexts.size(); i += 2) {
    pairs.push_back({p.pairTexts[i], p.pairTexts[i + 1]});
    identityPairs = identityPairs && p.pairTexts[i] == p.pairTexts[i + 1];
    anyFound = anyFound || zv::text::Contains(text, p.pairTexts[i], !p.caseSensitive);
  }
  const zv::text::ReplaceOptions options{
      .count = p.replaceCount, .start = p.replaceStart, .caseSensitive = p.caseSensitive};
  const Text replaced = zv::text::ReplacePairs(text, pairs, options);
  // Only the first pair sees the caller's text; a later one may find what an
  // earlier replacement brought in.
  if (pairs.size() == 1 && !anyFound) ZV_FUZZ_CHECK(replaced == text);
  if (options.count == 0 || (identityPairs && p.caseSensitive)) ZV_FUZZ_CHECK(replaced == text);
  const size_t kept = static_cast<size_t>(std::max(p.replaceStart, 1)) - 1;
  ZV_FUZZ_CHECK(replaced.starts_with(std::string_view(text).substr(0, kept)));
}

void CheckCodePages(const Text& bytes) {
  const Text text = zv::text::CutAtZero(bytes);
  // Straight conversions agree with the way through UTF-16.
  const std::string utf8 = zv::text::GbkToUtf8(bytes);
  ZV_FUZZ_CHECK(utf8 == zv::text::FromWide(zv::text::ToWide(bytes, CodePage::Gbk), CodePage::Utf8));
  const Text gbk = zv::text::Utf8ToGbk(bytes);
  ZV_FUZZ_CHECK(gbk == zv::text::FromWide(zv::text::ToWide(bytes, CodePage::Utf8), CodePage::Gbk));
  // UTF-8 made by a conversion is well-formed, so it comes back unchanged.
  ZV_FUZZ_CHECK(zv::text::FromWide(zv::text::ToWide(utf8, CodePage::Utf8), CodePage::Utf8) == utf8);
  // GBK made by a conversion goes to UTF-8 and back unchanged.
  ZV_FUZZ_CHECK(zv::text::Utf8ToGbk(zv::text::GbkToUtf8(gbk)) == gbk);
  ZV_FUZZ_CHECK(utf8.empty() == text.empty() && gbk.empty() == text.empty());

  // The same bytes read as UTF-16 units.
  std::u16string wide(bytes.size() / 2, u'\0');
  std::copy_n(bytes.data(), wide.size() * 2, reinterpret_cast<char*>(wide.data()));
  const std::string wideAsUtf8 = zv::text::FromWide(wide, CodePage::Utf8);
  ZV_FUZZ_CHECK(zv::text::FromWide(zv::text::ToWide(wideAsUtf8, CodePage::Utf8), CodePage::Utf8) ==
                wideAsUtf8);
  const Text wideAsGbk = zv::text::FromWide(wide, CodePage::Gbk);
  ZV_FUZZ_CHECK(wideAsGbk == zv::text::Utf8ToGbk(wideAsUtf8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const Parameters p = DrawParameters(in);
  const Text text = in.ConsumeRemainingBytesAsString();

  CheckFind(text, p);
  CheckLeftRight(text, p.count);
  CheckSplit(text, p.delimiter);
  CheckTrims(text);
  CheckIntegerValue(text);
  CheckTextBetween(text, p);
  CheckReplacePairs(text, p);
  CheckCodePages(text);
  return 0;
}
