// Encodes a few fields with the installed library and parses them back; exits 0 on success.
#include <orvelpdu/orvelpdu.h>

#include <cstdio>

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
  const bool ok = dumped && id == 0x21 && small == -2 && word == "orvel" && buffer.isEmpty();
  std::printf("consumer: %s\n", ok ? "ok" : "FAILED");
  return ok ? 0 : 1;
}
