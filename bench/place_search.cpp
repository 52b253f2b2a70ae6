// The dialog "按名称添加地名…" as the user types: every keystroke searches
// the whole site list and lists the rows found. Each benchmark types one
// text a character at a time; the time per keystroke is the time per
// iteration divided by the characters typed (reported as "per_keystroke").
//
//   place_search
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "places/PlaceSearch.h"
#include "places/PlaceTable.h"

namespace {

using namespace vantoril;

// The texts shown after each keystroke of `typed` (whole characters).
std::vector<std::u16string> keystrokes(const std::u16string& typed) {
  std::vector<std::u16string> texts;
  for (std::size_t n = 1; n <= typed.size(); ++n) texts.push_back(typed.substr(0, n));
  return texts;
}

void typing(benchmark::State& state, const std::u16string& typed) {
  places::table();  // parsed once, at the first search
  const auto texts = keystrokes(typed);
  places::PlaceSearch dialog;
  std::size_t rows = 0;
  for (auto _ : state) {
    for (const auto& text : texts) {
      dialog.setText(text);
      rows += dialog.rows().size();
    }
    benchmark::DoNotOptimize(rows);
  }
  state.counters["per_keystroke"] = benchmark::Counter(
      static_cast<double>(state.iterations() * texts.size()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["rows_last"] = static_cast<double>(dialog.rows().size());
}

}  // namespace

BENCHMARK_CAPTURE(typing, pinyin_xiaoshan, u"xiaoshan")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(typing, chinese_zhejiang_hangzhou, u"浙江杭州")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(typing, one_character_many_rows, u"江")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(typing, code_101210102, u"101210102")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
