// Inputs the fuzz targets found, kept so the faults they showed stay fixed.
// Each fixture tests/data/fuzz_<target>_<n> holds the text that broke a rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"
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

}  // namespace
}  // namespace zv::text
