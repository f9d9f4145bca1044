// Fuzzes RegexMatcher with an arbitrary pattern, options, replacement and
// subject: no crash, no hang, and every accessor consistent with the Search.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "text/codepage.h"
#include "text/regex_matcher.h"
#include "text/text.h"

namespace {

using zv::text::Text;

// How many matches and groups the accessors are asked about, at most.
constexpr int kCheckedMatches = 8;
constexpr int kCheckedGroups = 8;

// The subject as the matcher carries it: through UTF-8 and back.
Text CarriedSubject(const Text& subject) {
  return zv::text::Utf8ToGbk(zv::text::GbkToUtf8(subject));
}

// A position is -2 or the offset of the text in the subject.
void CheckFound(const Text& subject, const Text& found, int position, bool ignoreCase) {
  if (found.empty() || position == -2) {
    if (found.empty()) ZV_FUZZ_CHECK(position == -2);
    return;
  }
  ZV_FUZZ_CHECK(position >= 0 && static_cast<size_t>(position) + found.size() <= subject.size());
  const Text at = subject.substr(static_cast<size_t>(position), found.size());
  ZV_FUZZ_CHECK(ignoreCase ? zv::text::ToLowerAscii(at) == zv::text::ToLowerAscii(found)
                           : at == found);
}

void CheckAccessors(const zv::text::RegexMatcher& matcher, const Text& subject,
                    const zv::text::SearchOptions& options) {
  const Text cut = zv::text::CutAtZero(subject);
  const int matches = matcher.MatchCount();
  const int groups = matcher.SubmatchCount();
  if (!options.global) ZV_FUZZ_CHECK(matches <= 1);
  ZV_FUZZ_CHECK(groups >= 0 && (matches > 0 || groups == 0));
  auto checkMatch = [&](int k) {
    int position = 0;
    const Text match = matcher.MatchText(k, &position);
    if (k < 1 || k > matches) ZV_FUZZ_CHECK(match.empty() && position == -2);
    CheckFound(cut, match, position, !options.caseSensitive);
    for (int g = -1; g <= std::min(groups, kCheckedGroups) + 1; ++g) {
      const Text group = matcher.SubmatchText(k, g, &position);
      if (g < 1 || g > groups) ZV_FUZZ_CHECK(group.empty());
      CheckFound(cut, group, position, !options.caseSensitive);
    }
  };
  for (int k = -1; k <= std::min(matches, kCheckedMatches) + 1; ++k) checkMatch(k);
  if (matches > kCheckedMatches) checkMatch(matches);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  zv::text::SearchOptions options;
  options.caseSensitive = in.ConsumeBool();
  options.multiLine = in.ConsumeBool();
  options.global = in.ConsumeBool();
  options.quoteEscape = in.ConsumeBool();
  const Text pattern = in.ConsumeRandomLengthString(96);
  const Text replacement = in.ConsumeRandomLengthString(24);
  const Text subject = in.ConsumeRemainingBytesAsString();

  zv::text::RegexMatcher matcher;
  const bool ran = matcher.Search(pattern, subject, options);
  const Text expanded = options.quoteEscape ? zv::text::ExpandQuoteMarkers(pattern) : pattern;
  ZV_FUZZ_CHECK(matcher.PatternText() == CarriedSubject(expanded));
  ZV_FUZZ_CHECK(matcher.LastError().empty() == ran);
  if (!ran) {
    ZV_FUZZ_CHECK(matcher.MatchCount() == 0 && matcher.ReplaceMatches(replacement).empty());
    return 0;
  }
  CheckAccessors(matcher, subject, options);
  const Text replaced = matcher.ReplaceMatches(replacement);
  if (matcher.MatchCount() == 0)
    ZV_FUZZ_CHECK(replaced == CarriedSubject(zv::text::CutAtZero(subject)));

  // The same Search again, now from the thread's pattern cache, agrees.
  const int matches = matcher.MatchCount();
  ZV_FUZZ_CHECK(matcher.Search(pattern, subject, options) && matcher.MatchCount() == matches);
  ZV_FUZZ_CHECK(matcher.ReplaceMatches(replacement) == replaced);
  return 0;
}
