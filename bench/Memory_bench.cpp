// Peak memory of parsing a 1 MB message: how far the heap rises above what the process held
// with the message received (in a CIPByteBuffer) and before parsing began, measured by the
// counting allocator (the resident set would mostly show memory the allocator kept from
// earlier benchmarks and hands out again). Two messages of
// the example protocol's framing (onlib::Message), each about 1 MB:
//   octets  a list of 1,024 octet-string TLVs of 1,020 bytes each, the case the target is
//           about: the parsed PDU holds about as much as the message itself;
//   ints    a list of 262,144 int items, shown for contrast: one heap object per item is the
//           list's design, so the parsed PDU itself holds many times the message.
#include <benchmark/benchmark.h>

#include <climits>

#include "orvelpdu/orvelpdu.h"
#include "support/AllocationCounter.h"
#include "support/onlib/Message.h"

namespace {

constexpr int kMessageBytes = 1 << 20;

class OctetsList : public CIPByteDataList {
 public:
  OctetsList() : CIPByteDataList(INT_MAX, INT_SIZE) {}

 protected:
  CIPByteData* createValue() override { return new CTLVOctets; }
};

class IntItem : public CIPByteData {
 public:
  int setData(CIPByteBuffer& buffer) override {
    value = buffer.removeInt();
    return 1;
  }
  int getData(CIPByteBuffer& buffer) override {
    buffer.appendInt(value);
    return 1;
  }
  int value = 0;
};

class IntList : public CIPByteDataList {
 public:
  IntList() : CIPByteDataList(INT_MAX, INT_SIZE) {}

 protected:
  CIPByteData* createValue() override { return new IntItem; }
};

// A PDU whose body is one list, framed as every PDU of the example protocol is.
template <class List>
class Bulk : public onlib::Message {
 public:
  static constexpr int kCommandId = 0x00000077;
  Bulk() : Message(kCommandId) {}
  int getBody(CIPByteBuffer& out) override { return items.getData(out); }
  int setBody(CIPByteBuffer& in) override { return items.setData(in); }
  List items;
};

template <class List>
void measure(benchmark::State& state, CIPByteBuffer& wire, bool target) {
  using orvelpdu::bench::liveBytes;
  const double messageBytes = wire.getLength();
  for (auto _ : state) {
    const std::size_t before = liveBytes();
    CIPByteBuffer in;
    in.appendBytes0(wire.getBuffer(), static_cast<int>(wire.getLength()));
    const std::size_t baseline = liveBytes();
    orvelpdu::bench::resetPeakBytes();
    Bulk<List> message;
    if (message.setData(in) == 0) state.SkipWithError(message.error().c_str());
    const std::size_t peak = orvelpdu::bench::peakBytes();
    state.counters["peak_above_baseline"] = static_cast<double>(peak - baseline);
    state.counters["retained"] = static_cast<double>(liveBytes() - before);
  }
  state.counters["message_bytes"] = messageBytes;
  state.counters["target"] = target ? 1 : 0;
}

void parseOctetsMessage(benchmark::State& state) {
  static CIPByteBuffer wire = [] {
    Bulk<OctetsList> message;
    constexpr int kValue = 1020;
    CIPByteBuffer value;
    value.appendBytes0(kValue);
    for (int i = 0; i < kMessageBytes / (kValue + 4); ++i) {
      auto* tlv = new CTLVOctets(static_cast<short>(i), value);
      message.items.addValue(tlv);
    }
    CIPByteBuffer out;
    message.getData(out);
    return out;
  }();
  measure<OctetsList>(state, wire, true);
}

void parseIntsMessage(benchmark::State& state) {
  static CIPByteBuffer wire = [] {
    Bulk<IntList> message;
    for (int i = 0; i < kMessageBytes / 4; ++i) {
      auto* item = new IntItem;
      item->value = i;
      message.items.addValue(item);
    }
    CIPByteBuffer out;
    message.getData(out);
    return out;
  }();
  measure<IntList>(state, wire, false);
}

BENCHMARK(parseOctetsMessage)->Name("Memory/parse_1MB_of_octet_tlvs")->Iterations(1);
BENCHMARK(parseIntsMessage)->Name("Memory/parse_1MB_of_int_items")->Iterations(1);

}  // namespace
