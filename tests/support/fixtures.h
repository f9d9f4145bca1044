// Fixture files under tests/data, and helpers shared by every test binary.
#pragma once

#include <string>

namespace zv::testing {

// The full path of tests/data/<name>.
std::string FixturePath(const std::string& name);
// The whole file tests/data/<name>, byte for byte; fails the test when missing.
std::string ReadFixture(const std::string& name);
// A fresh, empty folder for one test; removed by the caller when it likes.
std::string MakeTempFolder();

}  // namespace zv::testing
