#include "support/fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

namespace zv::testing {

std::string FixturePath(const std::string& name) { return std::string(ZV_TEST_DATA_DIR) + "/" + name; }

std::string ReadFixture(const std::string& name) {
  std::ifstream in(FixturePath(name), std::ios::binary);
  EXPECT_TRUE(in.good()) << "missing fixture " << name;
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string MakeTempFolder() {
  std::string pattern = "/tmp/zv-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const char* made = mkdtemp(buffer.data());
  EXPECT_NE(made, nullptr);
  return made ? made : "";
}

}  // namespace zv::testing
