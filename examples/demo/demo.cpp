// A first look at OrvelPDU: fill a buffer with fields, show its bytes, read them back.
#include <cstdio>

#include <orvelpdu/orvelpdu.h>

int main() {
  CIPByteBuffer buffer;
  buffer.appendInt(16);
  buffer.appendShort(0x0204);
  buffer.appendByte(7);
  char text[] = "hello";
  buffer.appendCString(text);

  CString dump;
  buffer.getHexDump(dump);
  std::printf("encoded %u bytes: %s\n", buffer.getLength(), static_cast<const char*>(dump));

  const int length = buffer.removeInt();
  const short tag = buffer.removeShort();
  const unsigned char flag = buffer.removeByte();
  CString word;
  buffer.removeCString(word);
  std::printf("decoded: int %d, short 0x%04X, byte %u, text \"%s\"\n", length,
              static_cast<unsigned>(static_cast<unsigned short>(tag)), flag,
              static_cast<const char*>(word));
  return buffer.isEmpty() ? 0 : 1;
}
