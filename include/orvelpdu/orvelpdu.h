// Umbrella header: every public class of OrvelPDU, and its version.
#ifndef ORVELPDU_ORVELPDU_H_
#define ORVELPDU_ORVELPDU_H_

#include "orvelpdu/base/CBaseObj.h"
#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/base/Result.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "orvelpdu/buffer/CheckedWrites.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"
#include "orvelpdu/data/CheckedList.h"
#include "orvelpdu/describe/Dump.h"
#include "orvelpdu/describe/UnknownParameters.h"
// Descriptions are templates written in C++20; the rest of the library serves C++17 programs.
#if __cplusplus >= 202002L
#include "orvelpdu/describe/DescribedItem.h"
#include "orvelpdu/describe/DescribedList.h"
#include "orvelpdu/describe/DescribedPDU.h"
#include "orvelpdu/describe/Fields.h"
#endif
#include "orvelpdu/exchange/Dispatcher.h"
#include "orvelpdu/exchange/Endpoint.h"
#include "orvelpdu/exchange/RequestWindow.h"
#include "orvelpdu/pdu/CPDU.h"
#include "orvelpdu/pdu/CPDUHeader.h"
#include "orvelpdu/pdu/HeaderBlockCache.h"
#include "orvelpdu/pdu/HeaderCheck.h"
#include "orvelpdu/pdu/Sealing.h"
#include "orvelpdu/stream/PDUFramer.h"
#include "orvelpdu/tlv/CTLV.h"
#include "orvelpdu/tlv/CTLVByte.h"
#include "orvelpdu/tlv/CTLVEmpty.h"
#include "orvelpdu/tlv/CTLVInt.h"
#include "orvelpdu/tlv/CTLVOctets.h"
#include "orvelpdu/tlv/CTLVShort.h"
#include "orvelpdu/tlv/CTLVString.h"
#include "orvelpdu/tlv/CTLVUByte.h"
#include "orvelpdu/tlv/TLVFrame.h"
#include "orvelpdu/version.h"

#endif  // ORVELPDU_ORVELPDU_H_
