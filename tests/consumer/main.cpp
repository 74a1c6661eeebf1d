// A program outside the project: encodes a few fields with an installed (or embedded) library
// and parses them back. Built as C++17 and as C++20 with every warning an error, it shows that
// the public headers ask no more of a consumer than C++17 and give it no warning. Exits 0 when
// every check holds.
#include <orvelpdu/orvelpdu.h>

#include <cstdio>
#include <cstring>

namespace {

// The version macros agree with each other: the string is MAJOR.MINOR.PATCH and the number
// orders releases.
bool versionConsistent() {
  char expected[32];
  std::snprintf(expected, sizeof expected, "%d.%d.%d", ORVELPDU_VERSION_MAJOR,
                ORVELPDU_VERSION_MINOR, ORVELPDU_VERSION_PATCH);
  return std::strcmp(expected, ORVELPDU_VERSION_STRING) == 0 &&
         ORVELPDU_VERSION == ORVELPDU_VERSION_MAJOR * 10000 + ORVELPDU_VERSION_MINOR * 100 +
                                 ORVELPDU_VERSION_PATCH &&
         ORVELPDU_VERSION_MAJOR >= 1;
}

}  // namespace

int main() {
  CIPByteBuffer buffer;
  buffer.appendInt(0x00000021);
  buffer.appendShort(-2);
  char text[] = "orvel";
  buffer.appendCString(text);

  CString dump;
  buffer.getHexDump(dump);
  const bool dumped = dump == "00021FFFE6F7276656C";

  const int id = buffer.removeInt();
  const short small = buffer.removeShort();
  CString word;
  buffer.removeCString(word);
  const bool ok = versionConsistent() && dumped && id == 0x21 && small == -2 && word == "orvel" &&
                  buffer.isEmpty();
  std::printf("consumer (C++%ld, OrvelPDU %s): %s\n", (__cplusplus / 100) % 100,
              ORVELPDU_VERSION_STRING, ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
