// Umbrella header: every public class of OrvelPDU, and its version.
#ifndef ORVELPDU_ORVELPDU_H_
#define ORVELPDU_ORVELPDU_H_

#include "orvelpdu/base/CBaseObj.h"
#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/buffer/CheckedReads.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"
#include "orvelpdu/pdu/CPDU.h"
#include "orvelpdu/pdu/CPDUHeader.h"
#include "orvelpdu/pdu/HeaderBlockCache.h"
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
