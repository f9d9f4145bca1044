// Inputs the fuzz targets found, kept so the faults they showed stay fixed.
// Each fixture tests/data/fuzz_<target>_<n> holds the text that broke a rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"
#include "text/regex_matcher.h"
#include "text/text.h"

namespace zv::text {
namespace {

TEST(TextRegressionTest, RemoveAllSpacesLeavesNoBlank) {
  struct Case {
    std::string fixture;
    Text withoutSpaces;
  };
  const std::vector<Case> cases = {
      // The cookie text whose merge kept an ideographic space: taking out the
      // ASCII space joined A1 and A1 into a new one.
      {"fuzz_cookies_1", ""},
  };
  for (const Case& c : cases) {
    const Text removed = RemoveAllSpaces(zv::testing::ReadFixture(c.fixture));
    EXPECT_EQ(removed, c.withoutSpaces) << c.fixture;
    EXPECT_EQ(RemoveAllSpaces(removed), removed) << c.fixture;
  }
}

// Two hundred runs of "a", each ended by "X": every match of the first pattern
// backtracks through all splits of a run before "X" matches, so each is
// expensive, though no single one reaches the limit of one match.
TEST(TextRegressionTest, SearchWorkIsBoundedAcrossMatches) {
  struct Case {
    Text pattern;
    bool ran;
    int matches;
  };
  const std::vector<Case> cases = {
      {"(a+)+c|X", false, 0},
      {"X", true, 200},  // the same matches, found cheaply, are all collected
  };
  const Text page = zv::testing::ReadFixture("fuzz_regex_matcher_1");
  for (const Case& c : cases) {
    RegexMatcher matcher;
    EXPECT_EQ(matcher.Search(c.pattern, page), c.ran) << c.pattern;
    EXPECT_EQ(matcher.MatchCount(), c.matches) << c.pattern;
    EXPECT_EQ(matcher.LastError(), c.ran ? "" : "match limit exceeded") << c.pattern;
  }
}

}  // namespace
}  // namespace zv::text
