// Umbrella header: every public class of OrvelPDU.
#ifndef ORVELPDU_ORVELPDU_H_
#define ORVELPDU_ORVELPDU_H_

#include "orvelpdu/base/CBaseObj.h"
#include "orvelpdu/base/CString.h"
#include "orvelpdu/base/MemoryRegistry.h"
#include "orvelpdu/buffer/CIPByteBuffer.h"
#include "orvelpdu/data/CIPByteData.h"
#include "orvelpdu/data/CIPByteDataList.h"

#endif  // ORVELPDU_ORVELPDU_H_
