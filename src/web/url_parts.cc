#include "web/url_parts.h"

#include <string_view>

namespace zv::web {
namespace {

bool StartsWithHttps(const Text& url) { return text::ToLowerAscii(text::Left(url, 5)) == "https"; }

// The text between the scheme and the next "/", with any ":port" kept.
Text HostWithPort(const Text& url) {
  Text work = text::ToLowerAscii(url);
  if (work.empty() || work.back() != '/') work += '/';
  if (work.starts_with("https://")) return text::TextBetween(work, "https://", "/");
  if (!text::Contains(work, "http://")) work = "http://" + work;
  return text::TextBetween(work, "http://", "/");
}

}  // namespace

Text UrlHost(const Text& url, bool keepPort) {
  const Text host = HostWithPort(url);
  if (keepPort) return host;
  const int colon = text::Find(host, ":");
  return colon < 0 ? host : text::Left(host, colon - 1);
}

int UrlPort(const Text& url) {
  const Text host = UrlHost(url, true);
  const std::size_t colon = host.rfind(':');
  if (colon != Text::npos) return text::IntegerValue(std::string_view(host).substr(colon + 1));
  return StartsWithHttps(url) ? 443 : 80;
}

Text UrlPath(const Text& url) {
  const int hostAt = text::Find(url, UrlHost(url, false), 1, true);
  const int slash = text::Find(url, "/", hostAt);
  return slash < 0 ? Text("/") : url.substr(slash - 1);
}

}  // namespace zv::web
