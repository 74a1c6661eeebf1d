#include "orvelpdu/exchange/Dispatcher.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/ExchangePdus.h"
#include "support/FailingNew.h"
#include "support/Hex.h"

namespace {

using orvelpdu::Dispatcher;
using orvelpdu::HeaderFields;
using orvelpdu::Outcome;
using orvelpdu::PDUFramer;
using orvelpdu::Result;
using orvelpdu::test::bufferOf;
using orvelpdu::test::Note;
using orvelpdu::test::Ping;
using orvelpdu::test::PingResp;
using orvelpdu::test::pingWire;
using orvelpdu::test::wireOf;
using Bytes = std::vector<unsigned char>;

struct Failure {
  HeaderFields header;
  Outcome outcome;
  std::string field;
};

// A dispatcher with Ping and PingResp (strict parse) and Note (hand-written, by factory)
// registered, logging what reaches each handler.
struct Fixture {
  Dispatcher dispatcher;
  std::vector<std::string> delivered;
  std::vector<const void*> objects;
  std::vector<Failure> failures;

  Fixture() {
    dispatcher.on<Ping>([this](Ping& pdu, const HeaderFields& header) {
      delivered.push_back("ping " + std::to_string(pdu.value) + " seq " +
                          std::to_string(header.sequenceNumber));
      objects.push_back(&pdu);
    });
    dispatcher.on<PingResp>([this](PingResp& pdu) {
      delivered.push_back("pingresp " + std::to_string(pdu.value) + " seq " +
                          std::to_string(pdu.getSequenceNumber()));
    });
    dispatcher.on(
        Note::kCommandId, [] { return std::make_unique<Note>(); },
        [this](Note& pdu) { delivered.push_back("note " + pdu.text); });
    dispatcher.onError([this](const HeaderFields& header, const Result& why) {
      failures.push_back({header, why.outcome(), why.field()});
    });
  }
  bool dispatch(const Bytes& bytes) {
    CIPByteBuffer pdu = bufferOf(bytes);
    return dispatcher.dispatch(pdu);
  }
};

Bytes noteWire(std::uint32_t sequenceNumber, const std::string& text, bool nul = true) {
  Bytes body(text.begin(), text.end());
  if (nul) body.push_back(0);
  return wireOf(Note::kCommandId, sequenceNumber, body);
}

TEST(Dispatcher, EveryRegisteredIdReachesItsHandlerWithOneReusedObject) {
  Fixture f;
  EXPECT_TRUE(f.dispatch(pingWire(0x15, 7, 100)));
  EXPECT_TRUE(f.dispatch(pingWire(0x80000015u, 8, 200)));
  EXPECT_TRUE(f.dispatch(noteWire(9, "hi")));
  // Parsed in place from bytes that are not a buffer's.
  const Bytes second = pingWire(0x15, 10, 300);
  EXPECT_TRUE(f.dispatcher.dispatch(second.data(), second.size()));
  EXPECT_EQ(f.delivered, (std::vector<std::string>{"ping 100 seq 7", "pingresp 200 seq 8",
                                                   "note hi", "ping 300 seq 10"}));
  ASSERT_EQ(f.objects.size(), 2u);
  EXPECT_EQ(f.objects[0], f.objects[1]);
  EXPECT_TRUE(f.failures.empty());
  EXPECT_TRUE(f.dispatcher.handles(Note::kCommandId));
  f.dispatcher.remove(Note::kCommandId);
  EXPECT_FALSE(f.dispatch(noteWire(11, "gone")));
  ASSERT_EQ(f.failures.size(), 1u);
  EXPECT_EQ(f.failures[0].outcome, Outcome::kUnknownCommandId);
}

TEST(Dispatcher, UnknownIdGoesToTheErrorHandlerWithTheWholeHeader) {
  Fixture f;
  EXPECT_FALSE(f.dispatch(pingWire(0x16, 42, 1)));
  ASSERT_EQ(f.failures.size(), 1u);
  const Failure& failure = f.failures[0];
  EXPECT_EQ(failure.outcome, Outcome::kUnknownCommandId);
  EXPECT_EQ(failure.field, "command_id");
  EXPECT_EQ(failure.header.fieldsRead, 4);
  EXPECT_EQ(failure.header.commandId, 0x16u);
  EXPECT_EQ(failure.header.commandLength, 20u);
  EXPECT_EQ(failure.header.sequenceNumber, 42u);
  EXPECT_TRUE(f.delivered.empty());
}

TEST(Dispatcher, MalformedPDUsGoToTheErrorHandlerAndNoHandlerSeesThem) {
  struct Case {
    const char* what;
    Bytes bytes;
    Outcome outcome;
    int fieldsRead;
  };
  Bytes cutHeader = pingWire(0x15, 5, 1);
  cutHeader.resize(10);
  Bytes longerThanHeld = pingWire(0x15, 5, 1);
  longerThanHeld[3] = 24;
  Bytes shortPing = wireOf(0x15, 5, Bytes{1, 2});
  Bytes longPing = wireOf(0x15, 5, Bytes(8, 1));
  const Case cases[] = {
      {"header cut short", cutHeader, Outcome::kCutShort, 2},
      {"command length past the bytes", longerThanHeld, Outcome::kLengthMismatch, 4},
      {"strict parse: body cut short", shortPing, Outcome::kCutShort, 4},
      {"strict parse: body too long", longPing, Outcome::kBytesLeftOver, 4},
      {"setData answers 0", noteWire(5, "no nul", false), Outcome::kItemRefused, 4},
      {"setData leaves bytes", wireOf(Note::kCommandId, 5, Bytes{'a', 0, 'b'}),
       Outcome::kBytesLeftOver, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Fixture f;
    EXPECT_FALSE(f.dispatch(c.bytes));
    ASSERT_EQ(f.failures.size(), 1u);
    EXPECT_EQ(f.failures[0].outcome, c.outcome);
    EXPECT_EQ(f.failures[0].header.fieldsRead, c.fieldsRead);
    if (c.fieldsRead == 4) {
      EXPECT_EQ(f.failures[0].header.sequenceNumber, 5u);
    }
    EXPECT_TRUE(f.delivered.empty());
  }
}

TEST(Dispatcher, DrainDeliversThePDUsBeforeAFramingErrorThenReportsIt) {
  Fixture f;
  PDUFramer framer(64);
  Bytes stream = pingWire(0x15, 1, 1);
  const Bytes second = noteWire(2, "x");
  stream.insert(stream.end(), second.begin(), second.end());
  const Bytes bad = {0x00, 0x00, 0x10, 0x00, 0x00, 0x00};  // 4096 > 64
  stream.insert(stream.end(), bad.begin(), bad.end());
  ASSERT_TRUE(framer.feed(stream.data(), stream.size()));
  EXPECT_FALSE(f.dispatcher.drain(framer));
  EXPECT_EQ(f.delivered, (std::vector<std::string>{"ping 1 seq 1", "note x"}));
  ASSERT_EQ(f.failures.size(), 1u);
  EXPECT_EQ(f.failures[0].outcome, Outcome::kFramingError);
  EXPECT_EQ(f.failures[0].header.fieldsRead, 1);
  EXPECT_EQ(f.failures[0].header.commandLength, 4096u);
}

// The sound path costs no allocation: the object is reused (its header made by the first
// PDU) and a Ping's one field needs no storage.
TEST(Dispatcher, SoundPDUsAllocateNothingOnceWarm) {
  Dispatcher dispatcher;
  std::uint64_t sum = 0;
  dispatcher.on<Ping>([&sum](Ping& pdu) { sum += pdu.value; });
  const Bytes ping = pingWire(0x15, 3, 4);
  ASSERT_TRUE(dispatcher.dispatch(ping.data(), ping.size()));
  const long before = orvelpdu::test::allocationCount();
  for (int i = 0; i < 500; ++i) {
    ASSERT_TRUE(dispatcher.dispatch(ping.data(), ping.size()));
  }
  EXPECT_EQ(orvelpdu::test::allocationCount() - before, 0);
  EXPECT_EQ(sum, 501u * 4u);
}

}  // namespace
