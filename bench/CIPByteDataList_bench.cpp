// Parse cost of a counted list per item, from a thousand items to the largest counts each
// width carries: it should stay flat, so that parsing costs time proportional to the input.
#include <benchmark/benchmark.h>

#include <map>
#include <utility>

#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"

namespace {

// The smallest useful item: one short.
class ShortItem : public CIPByteData {
 public:
  int setData(CIPByteBuffer& buffer) override {
    value = buffer.removeShort();
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    buffer.appendShort(value);
    return 1;
  }
  short value = 0;
};

class ShortList : public CIPByteDataList {
 public:
  ShortList(int maximumCount, int countWidth) : CIPByteDataList(maximumCount, countWidth) {}

 protected:
  CIPByteData* createValue() override { return new ShortItem; }
};

// The wire form of a list of n items with the given count width, made once per size.
const CIPByteBuffer& wireOf(int n, int width) {
  static std::map<std::pair<int, int>, CIPByteBuffer> cache;
  auto [it, made] = cache.try_emplace({n, width});
  if (made) {
    ShortList list(n, width);
    for (int i = 0; i < n; ++i) {
      auto* item = new ShortItem;
      item->value = static_cast<short>(i);
      list.addValue(item);
    }
    list.getData(it->second);
  }
  return it->second;
}

void parseList(benchmark::State& state, int width) {
  const int n = static_cast<int>(state.range(0));
  const CIPByteBuffer& wire = wireOf(n, width);
  ShortList list(n, width);
  CIPByteBuffer buffer;
  for (auto _ : state) {
    // Disposing of the previous round's items and refilling the buffer are not parsing.
    state.PauseTiming();
    list.resetValues();
    buffer = wire;
    state.ResumeTiming();
    list.setData(buffer);
    benchmark::DoNotOptimize(list.getCount());
  }
  if (list.getCount() != n) state.SkipWithError("the list did not parse every item");
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(n), benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
}

void BM_ParseShortCountList(benchmark::State& state) {
  parseList(state, CIPByteDataList::SHORT_SIZE);
}
BENCHMARK(BM_ParseShortCountList)->Arg(1000)->Arg(4096)->Arg(16384)->Arg(65535);

void BM_ParseIntCountList(benchmark::State& state) { parseList(state, CIPByteDataList::INT_SIZE); }
BENCHMARK(BM_ParseIntCountList)->Arg(1000)->Arg(10000)->Arg(100000)->Arg(1000000);

}  // namespace
