// Cost of a counted list per item, from a thousand items to the largest counts each width
// carries: it should stay flat, so that encoding and parsing cost time proportional to the
// list. Each item is one heap object (the list's design); the hand-written parse beside it
// reads the same bytes into a std::vector<short>, the floor for the same work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"
#include "support/Measure.h"

namespace {

using orvelpdu::bench::AllocationTally;

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
  ShortList(int maximum, int width) : CIPByteDataList(maximum, width) {}

 protected:
  CIPByteData* createValue() override { return new ShortItem; }
};

void fill(ShortList& list, int n) {
  for (int i = 0; i < n; ++i) {
    auto* item = new ShortItem;
    item->value = static_cast<short>(i);
    list.addValue(item);
  }
}

// The wire form of a list of n items with the given count width, made once per size.
const CIPByteBuffer& wireOf(int n, int width) {
  static std::map<std::pair<int, int>, CIPByteBuffer> cache;
  auto [it, made] = cache.try_emplace({n, width});
  if (made) {
    ShortList list(n, width);
    fill(list, n);
    list.getData(it->second);
  }
  return it->second;
}

void encodeList(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  ShortList list(n, CIPByteDataList::INT_SIZE);
  fill(list, n);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    {
      CIPByteBuffer out;
      list.getData(out);
      benchmark::DoNotOptimize(out.getBuffer());
    }
    tally.end();
  }
  tally.report(state, n);
}

void parseList(benchmark::State& state, int width) {
  const int n = static_cast<int>(state.range(0));
  const CIPByteBuffer& wire = wireOf(n, width);
  ShortList list(n, width);
  CIPByteBuffer buffer;
  AllocationTally tally;
  for (auto _ : state) {
    // Disposing of the previous round's items and refilling the buffer are not parsing.
    state.PauseTiming();
    list.resetValues();
    buffer = wire;
    state.ResumeTiming();
    tally.begin();
    list.setData(buffer);
    tally.end();
    benchmark::DoNotOptimize(list.getCount());
  }
  if (list.getCount() != n) state.SkipWithError("the list did not parse every item");
  tally.report(state, n);
}

void parseShortCountList(benchmark::State& state) { parseList(state, CIPByteDataList::SHORT_SIZE); }

void parseIntCountList(benchmark::State& state) { parseList(state, CIPByteDataList::INT_SIZE); }

// The same bytes (int count, then shorts) into a vector, the way one would by hand.
void parseIntCountListHand(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  const CIPByteBuffer& wire = wireOf(n, CIPByteDataList::INT_SIZE);
  const std::uint8_t* bytes = wire.getBuffer();
  const std::size_t size = wire.getLength();
  std::vector<short> items;
  AllocationTally tally;
  for (auto _ : state) {
    state.PauseTiming();
    items = std::vector<short>();
    state.ResumeTiming();
    tally.begin();
    const auto count = static_cast<std::int32_t>((std::uint32_t{bytes[0]} << 24) |
                                                 (std::uint32_t{bytes[1]} << 16) |
                                                 (std::uint32_t{bytes[2]} << 8) | bytes[3]);
    std::size_t at = 4;
    for (std::int32_t i = 0; i < count && at + 2 <= size; ++i, at += 2) {
      items.push_back(static_cast<short>((bytes[at] << 8) | bytes[at + 1]));
    }
    tally.end();
    benchmark::DoNotOptimize(items.data());
  }
  tally.report(state, n);
}

// An item that refuses a buffer too short for its four bytes without taking any of them.
class FourByteItem : public CIPByteData {
 public:
  int setData(CIPByteBuffer& buffer) override {
    if (buffer.getLength() < 4) return 0;
    value = buffer.removeInt();
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    buffer.appendInt(value);
    return 1;
  }
  int value = 0;
};

// Makes FourByteItems, or nothing at all; counts its calls.
class FourByteList : public CIPByteDataList {
 public:
  explicit FourByteList(bool makesNothing)
      : CIPByteDataList(0x7FFFFFFF, INT_SIZE), makesNothing_(makesNothing) {}
  long calls = 0;

 protected:
  CIPByteData* createValue() override {
    ++calls;
    return makesNothing_ ? nullptr : new FourByteItem;
  }

 private:
  bool makesNothing_;
};

// A hostile count: 2147483647 items promised in seven bytes, whose three item bytes no item
// can use (argument 0: the items refuse them without taking them; 1: the factory makes
// none). Parsing must cost what seven bytes cost, microseconds at most, not what the count
// says; "factory_calls" shows the positions tried per parse.
void parseHugeCountInSevenBytes(benchmark::State& state) {
  CIPByteBuffer wire;
  wire.appendInt(0x7FFFFFFF);
  for (int i = 0; i < 3; ++i) wire.appendByte(0xAB);
  FourByteList list(state.range(0) == 1);
  AllocationTally tally;
  for (auto _ : state) {
    tally.begin();
    CIPByteBuffer in(wire);
    list.setData(in);
    tally.end();
    benchmark::DoNotOptimize(list.getCount());
  }
  tally.report(state);
  state.counters["factory_calls"] =
      static_cast<double>(list.calls) / static_cast<double>(state.iterations());
}

// Items that read a NUL-ended text with takeCString, which scans every held byte before it
// refuses a text with no NUL: the text alone (refused with nothing taken), or a recipient's
// shape (a type byte taken, then the text refused).
class TextItem : public CIPByteData {
 public:
  explicit TextItem(bool typeByte) : typeByte_(typeByte) {}
  int setData(CIPByteBuffer& buffer) override {
    if (typeByte_ && !orvelpdu::takeByte(buffer, type_)) return 0;
    return orvelpdu::takeCString(buffer, text_) ? 1 : 0;
  }
  int getData(CIPByteBuffer& buffer) override {
    if (typeByte_) buffer.appendByte(type_);
    buffer.appendString0(const_cast<char*>(static_cast<const char*>(text_)), text_.GetLength());
    buffer.appendByte(0);
    return 1;
  }

 private:
  bool typeByte_;
  unsigned char type_ = 0;
  CString text_;
};

class TextList : public CIPByteDataList {
 public:
  explicit TextList(bool typeByte) : CIPByteDataList(10, INT_SIZE), typeByte_(typeByte) {}
  long calls = 0;

 protected:
  CIPByteData* createValue() override {
    ++calls;
    return new TextItem(typeByte_);
  }

 private:
  bool typeByte_;
};

// A count of 2147483647, then argument 1 bytes of text with no NUL.
CIPByteBuffer textWithoutNul(long size) {
  CIPByteBuffer wire;
  wire.appendInt(0x7FFFFFFF);
  std::string text(static_cast<std::size_t>(size), 'a');
  wire.appendString0(text.data(), static_cast<int>(size));
  return wire;
}

// A hostile list of items that refuse the text they find: the parse must cost one scan of
// the bytes, as the floor beside it (one takeCString over the same bytes) does, whatever
// the size; a list that tried every position would cost the size squared (seconds at 1 MiB).
// "factory_calls" shows the positions tried per parse.
void parseRefusedText(benchmark::State& state, bool typeByte) {
  const CIPByteBuffer wire = textWithoutNul(state.range(0));
  TextList list(typeByte);
  CIPByteBuffer in;
  for (auto _ : state) {
    state.PauseTiming();
    in = wire;
    state.ResumeTiming();
    list.setData(in);
    benchmark::DoNotOptimize(list.getCount());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
  state.counters["factory_calls"] =
      static_cast<double>(list.calls) / static_cast<double>(state.iterations());
}

void parseRefusedTextAlone(benchmark::State& state) { parseRefusedText(state, false); }

void parseRefusedRecipient(benchmark::State& state) { parseRefusedText(state, true); }

// The floor: the one scan a refusal needs, takeCString over the same bytes.
void scanTextOnce(benchmark::State& state) {
  CIPByteBuffer wire = textWithoutNul(state.range(0));  // refused, so never changed
  CString text;
  for (auto _ : state) {
    benchmark::DoNotOptimize(orvelpdu::takeCString(wire, text));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

using orvelpdu::bench::scalingSeries;

BENCHMARK(encodeList)
    ->Name("Scaling/list_encode_int_count/library")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(parseIntCountList)
    ->Name("Scaling/list_parse_int_count/library")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(parseIntCountListHand)
    ->Name("Scaling/list_parse_int_count/hand")
    ->RangeMultiplier(10)
    ->Range(1000, 1000000)
    ->Apply(scalingSeries);
BENCHMARK(parseShortCountList)
    ->Name("Scaling/list_parse_short_count/library")
    ->Arg(1000)
    ->Arg(4096)
    ->Arg(16384)
    ->Arg(65535)
    ->Apply(scalingSeries);

BENCHMARK(parseHugeCountInSevenBytes)
    ->Name("Hostile/list_parse_count_2147483647_in_7_bytes")
    ->ArgName("null_factory")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(parseRefusedTextAlone)
    ->Name("Hostile/list_parse_refused_text/library")
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(parseRefusedRecipient)
    ->Name("Hostile/list_parse_refused_recipient/library")
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(scanTextOnce)
    ->Name("Hostile/list_parse_refused_text/one_scan")
    ->Arg(64 << 10)
    ->Arg(256 << 10)
    ->Arg(1 << 20)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
