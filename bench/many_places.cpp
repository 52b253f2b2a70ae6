// The list refresh of the start-up over a large catalogue: 2,000 places in
// two folders and 100,000 in a hundred. items_per_second is places listed
// per second; it stays about the same from the small catalogue to the large.
#include <benchmark/benchmark.h>

#include <set>
#include <string>

#include "support/ManyPlaces.h"

namespace {

using namespace vantoril;

void ListRefresh(benchmark::State& state) {
  const int places = static_cast<int>(state.range(0));
  test::FormFixture f;
  test::writeManyPlaces(f, places);
  for (auto _ : state) f.form->listRefresh();
  state.SetItemsProcessed(state.iterations() * places);

  // Every place listed once; a click on one of the catalogue folder's own
  // places reads its file.
  const auto& entries = f.form->List1.entries();
  if (std::set<std::u16string>(entries.begin(), entries.end()).size() != static_cast<std::size_t>(places))
    return state.SkipWithError("not every place was listed once");
  if (!f.form->userSelect(999) ||
      f.form->Text14.text() != fromUtf8(test::placeAddress(std::stoi(toUtf8(entries[999].substr(1))))) + u"\r\n")
    state.SkipWithError("a place does not show its own address");
}
BENCHMARK(ListRefresh)->Arg(2000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
