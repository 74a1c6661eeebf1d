// CBaseObj is the root class of the platform's object model, of which the library uses only
// the shape: a virtual destructor followed by the virtual GetClassNameA. It holds no state,
// so constructing, copying and destroying it does nothing observable.
#ifndef ORVELPDU_BASE_CBASEOBJ_H_
#define ORVELPDU_BASE_CBASEOBJ_H_

#include "orvelpdu/export.h"

class ORVELPDU_API CBaseObj {
 public:
  CBaseObj() = default;
  CBaseObj(const CBaseObj&) = default;
  CBaseObj& operator=(const CBaseObj&) = default;
  virtual ~CBaseObj();

  // Returns "CBaseObj" in static storage; the caller must not write through it.
  virtual char* GetClassNameA();
};

#endif  // ORVELPDU_BASE_CBASEOBJ_H_
