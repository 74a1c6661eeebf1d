// One pass of allocation failure over every public operation that allocates, beyond the byte
// buffer (CIPByteBufferAllocation_test.cpp, in this binary too): strings, the registry, the
// TLVs, the counted list and the PDU's header. Each operation runs on a fresh state with the
// k-th allocation failing, for k = 1, 2, ... until it completes. Every failure must reach the
// caller as std::bad_alloc (CTLVString::setValueData alone reports it as 0), leave the state
// the operation promises, register nothing that stays registered, and leak nothing (the
// registry and live counts here, LeakSanitizer in the sanitizer build).
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/CTLVUByte.h"
#include "support/FailurePass.h"
#include "support/Hex.h"
#include "support/TestList.h"
#include "support/TestPdu.h"
#include "support/Text.h"

namespace {

using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::runFailurePass;
using orvelpdu::test::TestItem;
using orvelpdu::test::TestList;
using orvelpdu::test::TestPdu;
using orvelpdu::test::textOf;

// ---- CString and the registry ----

TEST(AllocationFailurePass, StringOperationsLeaveTheStringAsItWas) {
  struct State {
    CString s{"a string longer than any inline storage"};
  };
  const std::string before = "a string longer than any inline storage";
  auto unchanged = [&](State& st) { EXPECT_EQ(before, textOf(st.s)); };
  runFailurePass<State>("CString(const char*)",
                        [](State&) { CString s("another string longer than inline storage"); });
  runFailurePass<State>("CString copy", [](State& st) { CString copy(st.s); });
  runFailurePass<State>(
      "CString = text", [](State& st) { st.s = "replacement text longer than inline storage"; },
      unchanged);
  runFailurePass<State>(
      "CString = CString",
      [](State& st) {
        CString other("replacement text longer than inline storage");
        st.s = other;
      },
      unchanged);
  runFailurePass<State>(
      "CString +=", [](State& st) { st.s += " and a tail that makes it grow further"; }, unchanged);
  runFailurePass<State>(
      "CString::GetBuffer", [](State& st) { st.s.GetBuffer(200); }, unchanged);
}

TEST(AllocationFailurePass, RegistryAddThatCannotAllocateRegistersNothing) {
  struct State {
    int block = 0;
    ~State() { _DelMemory(&block); }
  };
  runFailurePass<State>(
      "_AddMemory", [](State& st) { _AddMemory(&st.block, 4, 1, nullptr); },
      [](State& st) { EXPECT_EQ(-1, _FindMemory(&st.block)); });
}

// ---- TLVs ----

// One TLV of each type, all holding a value, and a frame of the matching type to parse.
struct TlvState {
  CTLVByte byteTlv{1, 0x11};
  CTLVUByte ubyteTlv{2};
  CTLVShort shortTlv{3, -2};
  CTLVInt intTlv{4, 0x01020304};
  CTLVEmpty emptyTlv{5, 0};
  CTLVOctets octetsTlv{6, bufferFromHex("0A 0B 0C")};
  CTLVString stringTlv{7, CString("callback")};
  CIPByteBuffer out;
  TlvState() {
    ubyteTlv.setValue(200);
    // A copy's block is exactly as large as its bytes: every append has to grow it.
    const CIPByteBuffer one = bufferFromHex("EE");
    out = one;
  }
};

// What a TLV shows: tag, value-set flag and its encoding (its value, for one with a value).
std::string shown(CTLV& tlv) {
  CIPByteBuffer wire;
  tlv.getData(wire);
  return std::to_string(tlv.getTag()) + "/" + std::to_string(tlv.hasValue()) + "/" + hexOf(wire);
}

std::string shownAll(TlvState& st) {
  return shown(st.byteTlv) + " " + shown(st.ubyteTlv) + " " + shown(st.shortTlv) + " " +
         shown(st.intTlv) + " " + shown(st.emptyTlv) + " " + shown(st.octetsTlv) + " " +
         shown(st.stringTlv) + " out " + hexOf(st.out);
}

// Runs `op` on each TLV of a fresh TlvState; after a failure every TLV and the output buffer
// are as they were.
template <class Op>
void tlvPass(const char* name, Op op) {
  const std::string before = [] {
    TlvState st;
    return shownAll(st);
  }();
  runFailurePass<TlvState>(name, op,
                           [&](TlvState& st) { EXPECT_EQ(before, shownAll(st)) << name; });
}

TEST(AllocationFailurePass, TlvEncodingLeavesOutputAndValuesAsTheyWere) {
  tlvPass("CTLVByte::getData", [](TlvState& st) { st.byteTlv.getData(st.out); });
  tlvPass("CTLVUByte::getData", [](TlvState& st) { st.ubyteTlv.getData(st.out); });
  tlvPass("CTLVShort::getData", [](TlvState& st) { st.shortTlv.getData(st.out); });
  tlvPass("CTLVInt::getData", [](TlvState& st) { st.intTlv.getData(st.out); });
  tlvPass("CTLVEmpty::getData", [](TlvState& st) { st.emptyTlv.getData(st.out); });
  tlvPass("CTLVOctets::getData", [](TlvState& st) { st.octetsTlv.getData(st.out); });
  tlvPass("CTLVString::getData", [](TlvState& st) { st.stringTlv.getData(st.out); });
  tlvPass("CTLVOctets::getLength", [](TlvState& st) { st.octetsTlv.getLength(); });
  tlvPass("CTLVString::getLength", [](TlvState& st) { st.stringTlv.getLength(); });
  tlvPass("CTLVInt::getLength", [](TlvState& st) { st.intTlv.getLength(); });
}

// Parsing a frame: a failure leaves the tag, the value-set flag and the value as they were
// (the frame's own fields may already have been taken from the input).
TEST(AllocationFailurePass, TlvParsingKeepsTagFlagAndValue) {
  tlvPass("CTLVByte::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 21 00 01 7F");
    st.byteTlv.setData(in);
  });
  tlvPass("CTLVUByte::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 22 00 01 FF");
    st.ubyteTlv.setData(in);
  });
  tlvPass("CTLVShort::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 23 00 02 12 34");
    st.shortTlv.setData(in);
  });
  tlvPass("CTLVInt::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 24 00 04 01 02 03 04");
    st.intTlv.setData(in);
  });
  tlvPass("CTLVEmpty::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 25 00 02 AB CD");
    st.emptyTlv.setData(in);
  });
  tlvPass("CTLVOctets::setData", [](TlvState& st) {
    CIPByteBuffer in = bufferFromHex("00 26 00 05 01 02 03 04 05");
    st.octetsTlv.setData(in);
  });
  tlvPass("CTLVOctets::setValue", [](TlvState& st) {
    CIPByteBuffer bytes = bufferFromHex("F1 F2 F3 F4");
    st.octetsTlv.setValue(bytes);
  });
  tlvPass("CTLVString::setValue", [](TlvState& st) {
    st.stringTlv.setValue(CString("a replacement longer than any inline storage"));
  });
}

// CTLVString::setValueData reports a failed allocation as 0 instead of throwing it, with the
// object and the value bytes as they were; through setData that shows as a TLV that kept its
// value, and the frame's tag is still taken.
TEST(AllocationFailurePass, StringValueParsingReportsFailureAsZero) {
  struct State {
    CTLVString tlv{7, CString("before")};
    CIPByteBuffer value = bufferFromHex(
        "61 20 72 65 70 6C 61 63 65 6D 65 6E 74 20 6C 6F 6E 67 65 "
        "72 20 74 68 61 6E 20 69 6E 6C 69 6E 65 00 7A");
  };
  int zeros = 0;
  runFailurePass<State>(
      "CTLVString::setValueData",
      [&](State& st) {
        if (st.tlv.setValueData(st.value) == 0) {
          ++zeros;
          throw std::bad_alloc();  // reported here as the failure it swallowed
        }
      },
      [](State& st) {
        CString s;
        st.tlv.getValue(s);
        EXPECT_EQ("before", textOf(s));
        EXPECT_EQ(34u, st.value.getLength());
      });
  EXPECT_GT(zeros, 0);
}

// Copies of the TLVs that own storage: the target is left as it was.
TEST(AllocationFailurePass, TlvCopiesLeaveTheTargetAsItWas) {
  struct State {
    CTLVOctets octets{6, bufferFromHex("0A 0B 0C")};
    CTLVOctets otherOctets{16, bufferFromHex("01 02 03 04 05 06 07 08 09")};
    CTLVString string{7, CString("short")};
    CTLVString otherString{17, CString("a string longer than any inline storage")};
  };
  runFailurePass<State>("CTLVOctets(tag, bytes)",
                        [](State&) { CTLVOctets made(1, bufferFromHex("01 02")); });
  runFailurePass<State>("CTLVString(tag, s)", [](State&) {
    CTLVString made(1, CString("a string longer than any inline storage"));
  });
  runFailurePass<State>("CTLVOctets copy", [](State& st) { CTLVOctets copy(st.otherOctets); });
  runFailurePass<State>("CTLVString copy", [](State& st) { CTLVString copy(st.otherString); });
  runFailurePass<State>(
      "CTLVOctets::operator=", [](State& st) { st.octets = st.otherOctets; },
      [](State& st) { EXPECT_EQ("6/1/00 06 00 03 0A 0B 0C", shown(st.octets)); });
  runFailurePass<State>(
      "CTLVString::operator=", [](State& st) { st.string = st.otherString; },
      [](State& st) { EXPECT_EQ("7/1/00 07 00 05 73 68 6F 72 74", shown(st.string)); });
  runFailurePass<State>("CTLVOctets::getValue", [](State& st) {
    CIPByteBuffer out = bufferFromHex("77");
    try {
      st.otherOctets.getValue(out);
    } catch (const std::bad_alloc&) {
      EXPECT_EQ("77", hexOf(out));
      throw;
    }
  });
  runFailurePass<State>("CTLVString::getValue", [](State& st) {
    CString out("kept");
    try {
      st.otherString.getValue(out);
    } catch (const std::bad_alloc&) {
      EXPECT_EQ("kept", textOf(out));
      throw;
    }
  });
}

// ---- The counted list ----

struct ListState {
  TestList list{5, CIPByteDataList::BYTE_SIZE};
  TestList other{5, CIPByteDataList::BYTE_SIZE};
  CIPByteBuffer in = bufferFromHex("03 00 0A 61 00 00 0B 62 62 00 00 0C 63 63 63 00");
  ListState() {
    list.addValue(orvelpdu::test::newTestItem(1, "one"));
    list.addValue(orvelpdu::test::newTestItem(2, "two"));
    other.addValue(orvelpdu::test::newTestItem(9, "nine"));
  }
};

std::string encodedList(TestList& list) {
  CIPByteBuffer wire;
  list.getData(wire);
  return hexOf(wire);
}

TEST(AllocationFailurePass, ListOperationsKeepTheItemsTheListHadAccepted) {
  const std::string held = [] {
    ListState st;
    return encodedList(st.list);
  }();
  runFailurePass<ListState>(
      "CIPByteDataList::addValue",
      [](ListState& st) {
        TestItem* item = orvelpdu::test::newTestItem(3, "three");
        try {
          st.list.addValue(item);
        } catch (const std::bad_alloc&) {
          // Refused by failure: the item is still the caller's.
          CIPByteData* mine = item;
          st.list.CIPByteDataList::destroyValue(mine);
          throw;
        }
      },
      [&](ListState& st) { EXPECT_EQ(held, encodedList(st.list)); });

  runFailurePass<ListState>(
      "CIPByteDataList copy", [](ListState& st) { TestList copy(st.list); },
      [&](ListState& st) { EXPECT_EQ(held, encodedList(st.list)); });

  runFailurePass<ListState>(
      "CIPByteDataList::operator=", [](ListState& st) { st.list = st.other; },
      [&](ListState& st) { EXPECT_EQ(held, encodedList(st.list)); });

  runFailurePass<ListState>("CIPByteDataList::getData", [](ListState& st) {
    CIPByteBuffer out;
    st.list.getData(out);
  });

  // Parsing three items: those accepted before the failure stay, each a whole item.
  runFailurePass<ListState>(
      "CIPByteDataList::setData", [](ListState& st) { st.list.setData(st.in); },
      [](ListState& st) {
        EXPECT_LE(st.list.getCount(), 3);
        for (int i = 0; i < st.list.getCount(); ++i) {
          auto* item = static_cast<TestItem*>(st.list.getValue(i));
          EXPECT_EQ(10 + i, item->number);
          EXPECT_EQ(std::string(static_cast<size_t>(i + 1), static_cast<char>('a' + i)),
                    textOf(item->text));
        }
      });
}

// ---- The PDU's header ----

class ProbePdu : public TestPdu {
 public:
  bool hasHeader() const { return header != nullptr; }
};

struct PduState {
  ProbePdu pdu;
  ProbePdu other;
  CIPByteBuffer in = bufferFromHex("00 00 00 10 00 00 00 01 00 00 00 00 00 00 00 07");
  CIPByteBuffer roomy;  // room for a header without growing: only the header is made
  PduState() {
    roomy.appendBytes0(40);
    roomy.appendBytes0(-39);
  }
};

// Runs an operation that has to create the header; after a failure the PDU has none (and
// the pass has checked that nothing stays registered).
template <class Op>
void headerPass(const char* name, Op op) {
  runFailurePass<PduState>(name, op,
                           [&](PduState& st) { EXPECT_FALSE(st.pdu.hasHeader()) << name; });
}

TEST(AllocationFailurePass, PduWhoseHeaderCannotBeMadeHasNoneAndRegistersNothing) {
  headerPass("checkHeader", [](PduState& st) { st.pdu.checkHeader(); });
  headerPass("getCommandLength", [](PduState& st) { st.pdu.getCommandLength(); });
  headerPass("getCommandId", [](PduState& st) { st.pdu.getCommandId(); });
  headerPass("getCommandStatus", [](PduState& st) { st.pdu.getCommandStatus(); });
  headerPass("getSequenceNumber", [](PduState& st) { st.pdu.getSequenceNumber(); });
  headerPass("setCommandLength", [](PduState& st) { st.pdu.setCommandLength(1); });
  headerPass("setCommandId", [](PduState& st) { st.pdu.setCommandId(1); });
  headerPass("setCommandStatus", [](PduState& st) { st.pdu.setCommandStatus(1); });
  headerPass("setSequenceNumber", [](PduState& st) { st.pdu.setSequenceNumber(1); });
  headerPass("assignSequenceNumber()", [](PduState& st) { st.pdu.assignSequenceNumber(); });
  headerPass("assignSequenceNumber(1)", [](PduState& st) { st.pdu.assignSequenceNumber(1); });
  headerPass("resetSequenceNumber", [](PduState& st) { st.pdu.resetSequenceNumber(); });
  headerPass("equals", [](PduState& st) { st.pdu.equals(&st.other); });
  headerPass("getHeader", [](PduState& st) { st.pdu.getHeader(st.roomy); });
  headerPass("setHeader", [](PduState& st) { st.pdu.setHeader(st.in); });
}

TEST(AllocationFailurePass, PduHeaderStepWithAHeaderPassesBufferFailuresThrough) {
  struct State {
    ProbePdu pdu;
    CIPByteBuffer out;  // no block yet: the header's bytes need one
    State() { pdu.setCommandId(0x21); }
  };
  runFailurePass<State>(
      "getHeader with a header", [](State& st) { st.pdu.getHeader(st.out); },
      [](State& st) { EXPECT_EQ(0x21, st.pdu.getCommandId()); });
}

}  // namespace
