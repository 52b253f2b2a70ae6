// Fuzz target: the run log's last summary read back, on any bytes. What is
// found is a whole line of the log; and a summary line added at the end is
// the one found, with its own counts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "Check.h"
#include "runlog/RunLog.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vantoril;
  const std::string_view log(reinterpret_cast<const char*>(data), size);
  if (const auto found = runlog::lastSummaryIn(log)) {
    const std::string framed = "\n" + std::string(log) + "\n";
    CHECK(framed.find("\n" + found->line + "\n") != std::string::npos ||
          framed.find("\n" + found->line + "\r\n") != std::string::npos);
    CHECK(found->line.starts_with(found->time + "\t"));
  }

  // Counts and exit code from the first bytes, the note from the rest.
  const auto byte = [&](std::size_t i) { return i < size ? static_cast<int>(data[i]) : 0; };
  const runlog::Counts counts{byte(0) * 7, byte(1), byte(2), byte(3), byte(4)};
  const int exitCode = byte(5) % 4;
  const std::string_view note = size > 6 ? log.substr(6) : std::string_view();
  const std::string line = runlog::summaryLine("2026-12-07 08:00:00", counts, exitCode, note);
  std::string longer(log);
  if (!longer.empty() && longer.back() != '\n') longer += '\n';
  const auto again = runlog::lastSummaryIn(longer + line + "\n");
  CHECK(again && again->line == line);
  CHECK(again->counts.places == counts.places && again->counts.recorded == counts.recorded &&
        again->counts.kept == counts.kept && again->counts.skipped == counts.skipped &&
        again->counts.failed == counts.failed && again->exitCode == exitCode);
  return 0;
}
