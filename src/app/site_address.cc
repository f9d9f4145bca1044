#include "app/site_address.h"

#include <cctype>
#include <string_view>

namespace zv::app {

namespace {

bool IsHostChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool IsPort(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return false;
  int value = 0;
  for (const char c : digits) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= 65535;
}

}  // namespace

bool IsSiteUrl(const std::string& url) {
  std::string_view rest(url);
  if (rest.starts_with("http://")) {
    rest.remove_prefix(7);
  } else if (rest.starts_with("https://")) {
    rest.remove_prefix(8);
  } else {
    return false;
  }
  const std::string_view host = rest.substr(0, rest.find(':'));
  if (host.empty()) return false;
  for (const char c : host)
    if (!IsHostChar(c)) return false;
  if (host.size() == rest.size()) return true;
  return IsPort(rest.substr(host.size() + 1));
}

}  // namespace zv::app
