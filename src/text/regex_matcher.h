// RegexMatcher: one regular expression over one text, matches and groups
// numbered from 1; a missing match or group yields the empty text.
//
// The dialect is that of the classic script regular-expression object: "."
// matches every character but LF, lazy "*?", \s \S [\s\S], \uXXXX, Multiline,
// Global and IgnoreCase; after an empty match the next one is sought one
// character further on. Subjects and patterns are GBK texts; matching runs on
// their UTF-8 form with PCRE2 (JIT, compiled patterns cached per thread). A match
// limit bounds the work of one Search, so a hostile page yields "no match"
// instead of hanging the caller.
//
// Thread rule: a matcher is used only by the thread that constructed it.
#pragma once

#include <memory>
#include <string>

#include "text/text.h"

namespace zv::text {

struct SearchOptions {
  bool caseSensitive = false;
  bool multiLine = true;
  bool global = true;
  bool quoteEscape = false;  // "#引号" in the pattern stands for a double quote
};

class RegexMatcher {
 public:
  RegexMatcher();
  ~RegexMatcher();
  RegexMatcher(const RegexMatcher&) = delete;
  RegexMatcher& operator=(const RegexMatcher&) = delete;

  // Discards everything of the previous Search, then collects the matches of
  // `pattern` in `subject`. True when matching ran (also with no match);
  // false for an invalid pattern or when the match limit was hit.
  bool Search(const Text& pattern, const Text& subject, SearchOptions options = {});

  // The pattern of the last Search as the engine holds it; empty before any.
  Text PatternText() const;
  // The subject with every match (Global off: the first) replaced; "$1"-style
  // references name groups ($n, $nn, $&, $`, $' and $$; a reference to a group
  // the pattern lacks stays as written). Empty when the last Search failed.
  Text ReplaceMatches(const Text& replacement = {}) const;
  int MatchCount() const;
  // Match k (from 1); `position`, when given, receives the 0-based byte offset
  // of the returned text in the GBK subject, or -2 when it is not found. The
  // text is sought byte by byte from the 1-based position equal to the match's
  // UTF-16 index (never past its GBK offset), ignoring case when the pattern
  // does; an empty text is never found.
  Text MatchText(int k, int* position = nullptr) const;
  // Group g (from 1) of match k (from 1); empty when either does not exist or
  // the group took no part in the match. Its position is sought from where
  // the match is sought, so it is that of the first occurrence of the group's
  // text from there on.
  Text SubmatchText(int k, int g, int* position = nullptr) const;
  // The number of groups of the first match; 0 without matches.
  int SubmatchCount() const;

  // Why the last Search failed (a PCRE2 message), empty after a success.
  const std::string& LastError() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace zv::text
