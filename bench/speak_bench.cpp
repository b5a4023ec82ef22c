// What a lookup costs, and what a speak run costs per unit apart from its
// waits, on the scripted fake host.
#include <benchmark/benchmark.h>

#include <string>

#include "fake_host.h"
#include "pinyin.h"
#include "pinyin_tables.h"
#include "speak_run.h"

namespace {

// PinyinOf over every code of GB2312 levels 1 and 2; one iteration is one
// lookup per cell of the main tables.
void BM_PinyinOfAllCodes(benchmark::State& state) {
  ResetFake();
  char unit[3] = {0, 0, 0};
  for (auto _ : state) {
    for (int lead = kPinyinLeadFirst; lead <= kPinyinLeadLast; ++lead) {
      for (int trail = kPinyinTrailFirst; trail <= kPinyinTrailLast; ++trail) {
        unit[0] = static_cast<char>(lead);
        unit[1] = static_cast<char>(trail);
        Text s = PinyinOf(unit, 1);
        benchmark::DoNotOptimize(s.get());
      }
    }
    Fake().allocations.clear();
  }
  state.SetItemsProcessed(state.iterations() * kPinyinCellCount);
}
BENCHMARK(BM_PinyinOfAllCodes)->Unit(benchmark::kMicrosecond);

// A run over state.range(0) characters whose clips all exist and last 0 ms:
// every unit reads the box, looks up, builds the path, searches, plays and
// measures, but never waits.
void BM_SpeakRun(benchmark::State& state) {
  ResetFake();
  FakeHost& fake = Fake();
  const char* characters[] = {"你", "好", "中", "国", "说", "话"};
  for (const char* syllable : {"ni", "hao", "zhong", "guo", "shuo", "hua"}) {
    const std::string path = std::string("sylbank\\") + syllable + ".wav";
    fake.files.insert(path);
    fake.lengths[path] = "0";
  }
  const auto units = state.range(0);
  std::string box;
  for (int64_t i = 0; i < units; ++i) box += characters[i % 6];
  fake.box = box;
  for (auto _ : state) {
    SpeakRun();
    state.PauseTiming();
    fake.mci.clear();
    fake.allocations.clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * units);
  state.counters["per_unit"] = benchmark::Counter(
      static_cast<double>(state.iterations() * units),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SpeakRun)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
