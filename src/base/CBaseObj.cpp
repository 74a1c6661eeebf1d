#include "orvelpdu/base/CBaseObj.h"

CBaseObj::~CBaseObj() = default;

char* CBaseObj::GetClassNameA() {
  static char name[] = "CBaseObj";
  return name;
}
