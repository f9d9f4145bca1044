#include "app/keyword_file.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace zv::app {

std::optional<text::Text> ReadKeywordFile(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) return std::nullopt;
  return text::CutAtZero(bytes);
}

}  // namespace zv::app
