// The allocation-failure pass over the example protocol's PDUs: construction (which sets the
// command id, so creates the header), encoding, parsing and building a response. A failure
// reaches the caller as std::bad_alloc, leaks nothing, leaves no header registered once the
// PDUs are gone, and an encoding that fails appends nothing to the caller's buffer.
#include <gtest/gtest.h>

#include <string>

#include "support/FailingNew.h"
#include "support/FailurePass.h"
#include "support/Hex.h"
#include "support/RegistrySnapshot.h"
#include "textmsg/SubmitText.h"
#include "textmsg/SubmitTextResp.h"

namespace {

using orvelpdu::test::allocationCount;
using orvelpdu::test::bufferFromHex;
using orvelpdu::test::hexOf;
using orvelpdu::test::RegistrySnapshot;
using orvelpdu::test::runFailurePass;
using textmsg::Recipient;
using textmsg::SubmitText;
using textmsg::SubmitTextResp;

void fill(SubmitText& pdu) {
  pdu.sender = "a sender long enough to need storage of its own";
  pdu.recipients.add(Recipient(1, "+44207900000000000000000000"));
  pdu.recipients.add(Recipient(2, "ops@example.net.and.then.some"));
  pdu.priority = 2;
  pdu.validitySeconds = 3600;
  pdu.text = "Hello from a text long enough to need storage of its own";
  pdu.reference.setValue(7);
  pdu.segmentCount.setValue(1);
  pdu.expiry.setValue(86400);
  pdu.callback.setValue(CString("+44207900000000000000000001"));
  CIPByteBuffer udh = bufferFromHex("05 00 03 01 02 03");
  pdu.userDataHeader.setValue(udh);
  pdu.reportWanted.setValue(0);
  pdu.messageClass.setValue(1);
  pdu.setSequenceNumber(42);
}

template <class Pdu>
std::string wireOf(Pdu& pdu) {
  CIPByteBuffer out;
  EXPECT_EQ(1, pdu.getData(out)) << pdu.result().reason();
  return hexOf(out);
}

struct State {
  SubmitText request;
  SubmitTextResp response;
  SubmitTextResp received;  // no message id yet, so parsing one needs storage
  CIPByteBuffer out;
  CIPByteBuffer requestIn;
  CIPByteBuffer responseIn;
  State();
};

const std::string& requestWire() {
  static const std::string wire = [] {
    SubmitText request;
    fill(request);
    return wireOf(request);
  }();
  return wire;
}

const std::string& responseWire() {
  static const std::string wire = [] {
    SubmitTextResp response;
    response.messageId = "a message id long enough to need storage";
    response.setSequenceNumber(42);
    return wireOf(response);
  }();
  return wire;
}

State::State() {
  fill(request);
  response.messageId = "a message id long enough to need storage";
  response.setSequenceNumber(42);
  const CIPByteBuffer one = bufferFromHex("AA");
  out = one;  // a copy's block holds exactly its bytes: appending has to grow it
  requestIn = bufferFromHex(requestWire());
  responseIn = bufferFromHex(responseWire());
}

TEST(AllocationFailurePass, ExamplePduConstructionLeavesNothingRegistered) {
  // A described PDU makes its header on first use: constructing one cannot fail at all.
  const long before = allocationCount();
  const RegistrySnapshot registry;
  {
    SubmitText request;
    SubmitTextResp response;
  }
  EXPECT_EQ(before, allocationCount());
  EXPECT_EQ(0L, registry.addCalls());
  runFailurePass<State>("SubmitTextResp(request)",
                        [](State& st) { SubmitTextResp pdu(st.request); });
  runFailurePass<State>("RecipientList::add", [](State& st) {
    st.request.recipients.add(Recipient(3, "a third address long enough to allocate"));
  });
}

TEST(AllocationFailurePass, ExampleEncodingThatFailsAppendsNothing) {
  runFailurePass<State>(
      "SubmitText::getData", [](State& st) { st.request.getData(st.out); },
      [](State& st) {
        EXPECT_EQ("AA", hexOf(st.out));
        EXPECT_EQ(requestWire(), wireOf(st.request));
      });
  runFailurePass<State>(
      "SubmitTextResp::getData", [](State& st) { st.response.getData(st.out); },
      [](State& st) {
        EXPECT_EQ("AA", hexOf(st.out));
        EXPECT_EQ(responseWire(), wireOf(st.response));
      });
}

TEST(AllocationFailurePass, ExampleParsingThatFailsLeavesAPduThatParsesAgain) {
  runFailurePass<State>("SubmitText::setData", [](State& st) {
    SubmitText parsed;
    parsed.setData(st.requestIn);
  });
  // A PDU whose parse failed for lack of memory parses the same bytes once memory is back.
  runFailurePass<State>(
      "SubmitText::setData into a used PDU", [](State& st) { st.request.setData(st.requestIn); },
      [](State& st) {
        CIPByteBuffer in = bufferFromHex(requestWire());
        EXPECT_EQ(1, st.request.setData(in)) << st.request.result().reason();
        EXPECT_EQ(requestWire(), wireOf(st.request));
      });
  runFailurePass<State>(
      "SubmitTextResp::setData", [](State& st) { st.received.setData(st.responseIn); },
      [](State& st) {
        CIPByteBuffer in = bufferFromHex(responseWire());
        EXPECT_EQ(1, st.received.setData(in)) << st.received.result().reason();
        EXPECT_EQ(1, st.received.equals(&st.response));
      });
}

}  // namespace
