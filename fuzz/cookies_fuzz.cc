// Fuzzes the header and cookie rules with arbitrary header blocks, response
// headers and cookie strings: no crash, and what each rule promises.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "text/text.h"
#include "web/headers.h"

namespace {

using zv::text::Text;

void CheckComposeRequestHeaders(const Text& block, const Text& url, bool withUserAgent) {
  Text composed = block;
  zv::web::ComposeRequestHeaders(composed, url, withUserAgent);
  ZV_FUZZ_CHECK(composed.starts_with(block));
  for (const char* test : {"Accept:", "Referer:", "Accept-Language:", "Content-Type:"})
    ZV_FUZZ_CHECK(zv::text::Contains(composed, test));
  if (withUserAgent) ZV_FUZZ_CHECK(zv::text::Contains(composed, "User-Agent:"));
  // A completed block is complete: a second pass adds nothing.
  Text again = composed;
  zv::web::ComposeRequestHeaders(again, url, withUserAgent);
  ZV_FUZZ_CHECK(again == composed);
}

void CheckSplitHeaderLine(const Text& line) {
  const auto [name, value] = zv::web::SplitHeaderLine(line);
  const std::size_t colon = line.find(':');
  if (colon == Text::npos) {
    ZV_FUZZ_CHECK(name.empty() && value.empty());
    return;
  }
  ZV_FUZZ_CHECK(name == zv::text::TrimSpaces(std::string_view(line).substr(0, colon)));
  ZV_FUZZ_CHECK(value == zv::text::TrimSpaces(std::string_view(line).substr(colon + 1)));
}

void CheckCollectSetCookies(const Text& rawHeaders) {
  Text headers = rawHeaders;
  const Text cookies = zv::web::CollectSetCookies(headers);
  // Only the letter case of "Set-Cookie" changes.
  ZV_FUZZ_CHECK(zv::text::ToLowerAscii(headers) == zv::text::ToLowerAscii(rawHeaders));
  if (!zv::text::Contains(rawHeaders, "Set-Cookie", true)) ZV_FUZZ_CHECK(cookies.empty());
  Text normalised = headers;
  ZV_FUZZ_CHECK(zv::web::CollectSetCookies(normalised) == cookies && normalised == headers);
}

void CheckMergeCookies(const Text& oldCookies, const Text& newCookies) {
  Text cookies = oldCookies;
  Text fresh = newCookies;
  const Text merged = zv::web::MergeCookies(cookies, fresh);
  ZV_FUZZ_CHECK(merged == cookies);
  ZV_FUZZ_CHECK(zv::text::RemoveAllSpaces(fresh) == fresh);

  const std::vector<Text> entries = zv::text::Split(merged, "; ");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    ZV_FUZZ_CHECK(zv::text::RemoveAllSpaces(entries[i]) == entries[i]);
    ZV_FUZZ_CHECK(!entries[i].ends_with("=deleted"));
    ZV_FUZZ_CHECK(std::find(entries.begin(), entries.begin() + i, entries[i]) ==
                  entries.begin() + i);
  }
  // Every new entry that is not a deletion survives the merge.
  for (const Text& entry : zv::text::Split(fresh, ";")) {
    if (entry.empty() || entry.ends_with("=deleted")) continue;
    ZV_FUZZ_CHECK(std::find(entries.begin(), entries.end(), entry) != entries.end());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const bool withUserAgent = in.ConsumeBool();
  const Text url = in.ConsumeRandomLengthString(64);
  const Text block = in.ConsumeRandomLengthString(256);
  const Text oldCookies = in.ConsumeRandomLengthString(256);
  const Text newCookies = in.ConsumeRandomLengthString(256);
  const Text rawHeaders = in.ConsumeRemainingBytesAsString();

  CheckComposeRequestHeaders(block, url, withUserAgent);
  CheckSplitHeaderLine(block);
  CheckCollectSetCookies(rawHeaders);
  CheckMergeCookies(oldCookies, newCookies);
  // As a fetch merges them: the cookies the response sets over the old ones.
  Text headers = rawHeaders;
  CheckMergeCookies(oldCookies, zv::web::CollectSetCookies(headers));
  return 0;
}
