#include "text/regex_matcher.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "text/codepage.h"

namespace zv::text {

namespace {

// Work bounds. A pcre2_match call first runs under kFreeMatchLimit; one that
// runs out of it is tried again under tenfold limits up to kMatchLimit, and
// every try but a first one that succeeds is charged its limit against the
// Search's kSearchBudget. So one Search does at most kSearchBudget steps plus
// kFreeMatchLimit per match, however many expensive matches a page holds; a
// call that hits a bound ends the Search as failed. A near-miss page costs a
// bounded, small fraction of a second.
constexpr uint32_t kFreeMatchLimit = 10'000;
constexpr uint32_t kMatchLimit = 2'000'000;
constexpr uint64_t kSearchBudget = 20'000'000;
constexpr uint32_t kDepthLimit = 250'000;
constexpr uint32_t kHeapLimitKib = 64 * 1024;
constexpr size_t kJitStackStart = 32 * 1024;
constexpr size_t kJitStackMax = 4 * 1024 * 1024;
constexpr size_t kCacheCapacity = 32;

std::string ErrorMessage(int code) {
  PCRE2_UCHAR buffer[256];
  const int length = pcre2_get_error_message(code, buffer, sizeof buffer);
  if (length < 0) return "PCRE2 error " + std::to_string(code);
  return std::string(reinterpret_cast<const char*>(buffer), static_cast<size_t>(length));
}

struct CodeDeleter {
  void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
using CodePtr = std::unique_ptr<pcre2_code, CodeDeleter>;

struct MatchDataDeleter {
  void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
using MatchDataPtr = std::unique_ptr<pcre2_match_data, MatchDataDeleter>;

// A compiled, JIT-compiled pattern; shared between a thread's cache and its matchers.
struct CompiledPattern {
  CodePtr code;
  int groupCount = 0;
};

uint32_t CompileOptions(const SearchOptions& options) {
  uint32_t flags = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_DOLLAR_ENDONLY;
  if (!options.caseSensitive) flags |= PCRE2_CASELESS;
  if (options.multiLine) flags |= PCRE2_MULTILINE;
  return flags;
}

std::shared_ptr<const CompiledPattern> Compile(const std::string& pattern, uint32_t flags,
                                               std::string& error) {
  pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
  pcre2_set_newline(context, PCRE2_NEWLINE_LF);
  int errorCode = 0;
  PCRE2_SIZE errorOffset = 0;
  CodePtr code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags,
                             &errorCode, &errorOffset, context));
  pcre2_compile_context_free(context);
  if (!code) {
    error = ErrorMessage(errorCode) + " at offset " + std::to_string(errorOffset);
    return nullptr;
  }
  pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE);  // without JIT the interpreter runs
  uint32_t groups = 0;
  pcre2_pattern_info(code.get(), PCRE2_INFO_CAPTURECOUNT, &groups);
  auto compiled = std::make_shared<CompiledPattern>();
  compiled->code = std::move(code);
  compiled->groupCount = static_cast<int>(groups);
  return compiled;
}

// The compiled patterns of one thread, least recently used dropped first.
class PatternCache {
 public:
  std::shared_ptr<const CompiledPattern> Get(const std::string& pattern, uint32_t flags,
                                             std::string& error) {
    ++clock_;
    for (Entry& entry : entries_) {
      if (entry.flags == flags && entry.pattern == pattern) {
        entry.lastUse = clock_;
        return entry.compiled;
      }
    }
    auto compiled = Compile(pattern, flags, error);
    if (!compiled) return nullptr;
    if (entries_.size() == kCacheCapacity) {
      entries_.erase(
          std::min_element(entries_.begin(), entries_.end(),
                           [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; }));
    }
    entries_.push_back({pattern, flags, compiled, clock_});
    return compiled;
  }

 private:
  struct Entry {
    std::string pattern;
    uint32_t flags;
    std::shared_ptr<const CompiledPattern> compiled;
    uint64_t lastUse;
  };
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

// The calling thread's match context: work limits and a JIT stack of its own.
class MatchContext {
 public:
  MatchContext()
      : context_(pcre2_match_context_create(nullptr)),
        jitStack_(pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr)) {
    pcre2_set_depth_limit(context_, kDepthLimit);
    pcre2_set_heap_limit(context_, kHeapLimitKib);
    if (jitStack_) pcre2_jit_stack_assign(context_, nullptr, jitStack_);
  }
  ~MatchContext() {
    pcre2_match_context_free(context_);
    pcre2_jit_stack_free(jitStack_);
  }
  MatchContext(const MatchContext&) = delete;
  MatchContext& operator=(const MatchContext&) = delete;

  pcre2_match_context* get() const { return context_; }

 private:
  pcre2_match_context* context_;
  pcre2_jit_stack* jitStack_;
};

PatternCache& ThreadPatternCache() {
  thread_local PatternCache cache;
  return cache;
}

pcre2_match_context* ThreadMatchContext() {
  thread_local MatchContext context;
  return context.get();
}

// One pcre2_match call under the work bounds; `budget` is what the Search has left.
int MatchWithinBudget(const pcre2_code* code, PCRE2_SPTR subject, size_t length, size_t start,
                      uint32_t flags, pcre2_match_data* data, uint64_t& budget) {
  pcre2_match_context* context = ThreadMatchContext();
  uint32_t limit = kFreeMatchLimit;
  for (bool firstTry = true;; firstTry = false) {
    pcre2_set_match_limit(context, limit);
    const int rc = pcre2_match(code, subject, length, start, flags, data, context);
    const bool outOfSteps = rc == PCRE2_ERROR_MATCHLIMIT;
    if (outOfSteps || !firstTry) budget -= std::min<uint64_t>(budget, limit);
    const uint32_t next = std::min(limit * 10, kMatchLimit);
    if (!outOfSteps || limit == kMatchLimit || next > budget) return rc;
    limit = next;
  }
}

size_t Utf8CharLength(const std::string& text, size_t offset) {
  const auto lead = static_cast<unsigned char>(text[offset]);
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  return lead < 0xF0 ? 3 : 4;
}

// The number of UTF-16 units that the UTF-8 text before `offset` takes.
int Utf16Index(const std::string& utf8, size_t offset) {
  int units = 0;
  for (size_t i = 0; i < offset; ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if ((byte & 0xC0) != 0x80) ++units;
    if (byte >= 0xF0) ++units;
  }
  return units;
}

}  // namespace

struct RegexMatcher::State {
  bool hasEngine = false;  // a Search has run
  bool executed = false;   // the last Search produced a match collection
  bool ignoreCase = false;
  std::string patternUtf8;
  std::shared_ptr<const CompiledPattern> compiled;
  Text subject;             // the GBK subject of the last Search
  std::string subjectUtf8;  // its UTF-8 form, kept while the same subject comes again
  // Per match, start and end offsets in subjectUtf8 of the match and each group.
  std::vector<PCRE2_SIZE> offsets;
  int matchCount = 0;
  std::string lastError;

  size_t PairsPerMatch() const { return static_cast<size_t>(compiled->groupCount) + 1; }

  // Offsets of group g (0 = the whole match) of match k (from 1), or nullptr.
  const PCRE2_SIZE* Span(int k, int g) const {
    if (k < 1 || k > matchCount || g < 0 || !compiled || g > compiled->groupCount) return nullptr;
    const PCRE2_SIZE* span =
        &offsets[((static_cast<size_t>(k) - 1) * PairsPerMatch() + static_cast<size_t>(g)) * 2];
    return span[0] == PCRE2_UNSET ? nullptr : span;
  }

  // The UTF-8 text of group g of match k; empty when either is missing.
  std::string_view SpanUtf8(int k, int g) const {
    const PCRE2_SIZE* span = Span(k, g);
    if (!span || span[1] <= span[0]) return {};
    return std::string_view(subjectUtf8).substr(span[0], span[1] - span[0]);
  }

  Text SpanText(int k, int g, int* position) const {
    Text text = Utf8ToGbk(SpanUtf8(k, g));
    if (position) *position = PositionOf(text, k);
    return text;
  }

  // The text's 0-based byte offset in the GBK subject: sought byte-wise from
  // the 1-based position equal to match k's UTF-16 index, which is never past
  // its GBK offset. -2 when not found.
  int PositionOf(const Text& text, int k) const {
    const PCRE2_SIZE* match = Span(k, 0);
    if (!match) return -2;
    const int found = Find(subject, text, Utf16Index(subjectUtf8, match[0]), ignoreCase);
    return found < 0 ? -2 : found - 1;
  }

  void Reset() {
    executed = false;
    compiled.reset();
    offsets.clear();
    matchCount = 0;
    lastError.clear();
  }

  void SetSubject(std::string_view text) {
    const std::string_view cut = text.substr(0, text.find('\0'));
    if (cut == subject) return;
    subject = cut;
    subjectUtf8 = GbkToUtf8(subject);
  }

  bool CollectMatches(bool global);
  std::string Expand(std::string_view replacement, int k) const;
};

bool RegexMatcher::State::CollectMatches(bool global) {
  const MatchDataPtr data(pcre2_match_data_create_from_pattern(compiled->code.get(), nullptr));
  const auto* text = reinterpret_cast<PCRE2_SPTR>(subjectUtf8.data());
  const size_t length = subjectUtf8.size();
  uint32_t flags = 0;  // the first call checks the UTF-8, the others trust it
  uint64_t budget = kSearchBudget;
  for (size_t start = 0; start <= length;) {
    const int rc =
        MatchWithinBudget(compiled->code.get(), text, length, start, flags, data.get(), budget);
    flags = PCRE2_NO_UTF_CHECK;
    if (rc == PCRE2_ERROR_NOMATCH) break;
    if (rc < 0) {
      lastError = ErrorMessage(rc);
      return false;
    }
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data.get());
    const size_t pairs = PairsPerMatch();
    offsets.insert(offsets.end(), ovector, ovector + 2 * pairs);
    for (size_t i = 2 * static_cast<size_t>(rc); i < 2 * pairs; ++i) {
      offsets[offsets.size() - 2 * pairs + i] = PCRE2_UNSET;
    }
    ++matchCount;
    if (!global) break;
    // As in the script dialect, an empty match moves the next try on by one character.
    const size_t matchStart = ovector[0];
    const size_t matchEnd = ovector[1];
    if (matchEnd > matchStart) {
      start = matchEnd;
    } else if (matchStart < length) {
      start = matchStart + Utf8CharLength(subjectUtf8, matchStart);
    } else {
      break;
    }
  }
  return true;
}

// The replacement for match k with its references expanded: $$, $&, $`, $'
// and $n or $nn for an existing group; anything else stays as written.
std::string RegexMatcher::State::Expand(std::string_view replacement, int k) const {
  const PCRE2_SIZE* match = Span(k, 0);
  auto groupText = [this, k](int g) { return SpanUtf8(k, g); };
  auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
  std::string out;
  for (size_t i = 0; i < replacement.size(); ++i) {
    const char next = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
    if (replacement[i] != '$' || next == '\0') {
      out += replacement[i];
    } else if (next == '$') {
      out += '$', ++i;
    } else if (next == '&') {
      out += groupText(0), ++i;
    } else if (next == '`') {
      out += subjectUtf8.substr(0, match[0]), ++i;
    } else if (next == '\'') {
      out += subjectUtf8.substr(match[1]), ++i;
    } else if (isDigit(next)) {
      const int one = next - '0';
      const bool hasSecond = i + 2 < replacement.size() && isDigit(replacement[i + 2]);
      const int two = hasSecond ? one * 10 + (replacement[i + 2] - '0') : -1;
      if (two >= 1 && two <= compiled->groupCount) {
        out += groupText(two), i += 2;
      } else if (one >= 1 && one <= compiled->groupCount) {
        out += groupText(one), ++i;
      } else {
        out += '$';
      }
    } else {
      out += '$';
    }
  }
  return out;
}

RegexMatcher::RegexMatcher() : state_(std::make_unique<State>()) {}
RegexMatcher::~RegexMatcher() = default;

bool RegexMatcher::Search(const Text& pattern, const Text& subject, SearchOptions options) {
  State& s = *state_;
  s.Reset();
  s.hasEngine = true;
  s.ignoreCase = !options.caseSensitive;
  s.patternUtf8 = GbkToUtf8(options.quoteEscape ? ExpandQuoteMarkers(pattern) : Text(pattern));
  s.SetSubject(subject);
  s.compiled = ThreadPatternCache().Get(s.patternUtf8, CompileOptions(options), s.lastError);
  if (!s.compiled) return false;
  if (!s.CollectMatches(options.global)) {
    s.offsets.clear();
    s.matchCount = 0;
    return false;
  }
  s.executed = true;
  return true;
}

Text RegexMatcher::PatternText() const {
  return state_->hasEngine ? Utf8ToGbk(state_->patternUtf8) : Text();
}

Text RegexMatcher::ReplaceMatches(const Text& replacement) const {
  const State& s = *state_;
  if (!s.executed) return {};
  const std::string replacementUtf8 = GbkToUtf8(replacement);
  std::string out;
  size_t copied = 0;
  for (int k = 1; k <= s.matchCount; ++k) {
    const PCRE2_SIZE* match = s.Span(k, 0);
    if (match[0] < copied) continue;  // a match that \K moved before the previous one
    out.append(s.subjectUtf8, copied, match[0] - copied);
    out += s.Expand(replacementUtf8, k);
    copied = std::max(match[0], match[1]);
  }
  out.append(s.subjectUtf8, copied);
  return Utf8ToGbk(out);
}

int RegexMatcher::MatchCount() const { return state_->matchCount; }

Text RegexMatcher::MatchText(int k, int* position) const {
  return state_->SpanText(k, 0, position);
}

Text RegexMatcher::SubmatchText(int k, int g, int* position) const {
  if (g >= 1) return state_->SpanText(k, g, position);
  if (position) *position = -2;
  return {};
}

int RegexMatcher::SubmatchCount() const {
  return state_->matchCount > 0 ? state_->compiled->groupCount : 0;
}

const std::string& RegexMatcher::LastError() const { return state_->lastError; }

}  // namespace zv::text
