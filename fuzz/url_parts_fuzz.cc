// Fuzzes UrlHost, UrlPort and UrlPath with arbitrary URLs: no crash, and the
// parts keep the shape the Internet-API fetch connects with.
#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "text/text.h"
#include "web/url_parts.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void CheckHost(const zv::text::Text& url) {
  const zv::text::Text host = zv::web::UrlHost(url, false);
  const zv::text::Text hostWithPort = zv::web::UrlHost(url, true);
  ZV_FUZZ_CHECK(host.find(':') == std::string::npos && host.find('/') == std::string::npos);
  ZV_FUZZ_CHECK(hostWithPort.find('/') == std::string::npos);
  ZV_FUZZ_CHECK(zv::text::ToLowerAscii(hostWithPort) == hostWithPort);
  ZV_FUZZ_CHECK(hostWithPort.starts_with(host));
}

void CheckPort(const zv::text::Text& url) {
  const zv::text::Text hostWithPort = zv::web::UrlHost(url, true);
  const int port = zv::web::UrlPort(url);
  const std::size_t colon = hostWithPort.rfind(':');
  if (colon == std::string::npos) {
    ZV_FUZZ_CHECK(port == 80 || port == 443);
    return;
  }
  const std::string digits = hostWithPort.substr(colon + 1);
  if (!digits.empty() && digits.size() <= 9 && std::all_of(digits.begin(), digits.end(), IsDigit))
    ZV_FUZZ_CHECK(port == std::stoi(digits));
}

void CheckPath(const zv::text::Text& url) {
  const zv::text::Text path = zv::web::UrlPath(url);
  ZV_FUZZ_CHECK(path.starts_with('/'));
  ZV_FUZZ_CHECK(path == "/" || url.ends_with(path));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zv::text::Text url(reinterpret_cast<const char*>(data), size);
  CheckHost(url);
  CheckPort(url);
  CheckPath(url);
  return 0;
}
