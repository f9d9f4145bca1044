// zorvane-demo-site: serves the demo directory until SIGINT or SIGTERM.
//   zorvane-demo-site [--host H] [--port N] [--latency-ms N] [--entries-per-page N]
//                     [--fail-rate F] [--pages-per-keyword N]
// Prints the base URL on stdout once it listens. Bad arguments exit with 2.
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "demo-site/demo_site.h"

namespace {

constexpr const char* kUsage =
    "usage: zorvane-demo-site [--host H] [--port N] [--latency-ms N] [--entries-per-page N] "
    "[--fail-rate F] [--pages-per-keyword N]";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text, Number low, Number high) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  const bool inRange = value >= low && value <= high;  // false for NaN as well
  if (error != std::errc() || end != text.data() + text.size() || !inRange) return std::nullopt;
  return value;
}

// Fills `options` from the arguments; the message of the first bad one otherwise.
std::optional<std::string> ParseArguments(int argc, char** argv,
                                          zv::demo::DemoSiteOptions& options) {
  options.port = zv::demo::kDefaultDemoSitePort;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc) return "missing value for " + std::string(name);
    const std::string_view value = argv[++i];
    bool valid = true;
    const auto take = [&valid](auto parsed, auto& field) {
      if (parsed) field = *parsed;
      valid = parsed.has_value();
    };
    if (name == "--host") {
      options.host = value;
      valid = !value.empty();
    } else if (name == "--port") {
      take(ParseNumber(value, 0, 65535), options.port);
    } else if (name == "--latency-ms") {
      take(ParseNumber(value, 0, 600000), options.latencyMs);
    } else if (name == "--entries-per-page") {
      take(ParseNumber(value, 0, 1000), options.entriesPerPage);
    } else if (name == "--fail-rate") {
      take(ParseNumber(value, 0.0, 1.0), options.failRate);
    } else if (name == "--pages-per-keyword") {
      take(ParseNumber(value, 0, 100000), options.pagesPerKeyword);
    } else {
      return "unknown option " + std::string(name);
    }
    if (!valid) return "bad value for " + std::string(name) + ": " + std::string(value);
  }
  return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
  zv::demo::DemoSiteOptions options;
  if (argc == 2 && std::string_view(argv[1]) == "--help") {
    std::printf("%s\n", kUsage);
    return 0;
  }
  if (const auto problem = ParseArguments(argc, argv, options)) {
    std::fprintf(stderr, "zorvane-demo-site: %s (%s)\n", problem->c_str(), kUsage);
    return 2;
  }

  // Blocked before any thread starts, so every serving thread inherits the
  // mask and the signals wait for sigwait below.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  zv::demo::DemoSite site(options);
  if (!site.Start()) {
    std::fprintf(stderr, "zorvane-demo-site: cannot listen on %s:%d\n", options.host.c_str(),
                 options.port);
    return 1;
  }
  std::printf("%s\n", site.BaseUrl().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  site.Stop();
  return 0;
}
