// CIPByteData is the abstract root of everything that writes itself into a CIPByteBuffer and
// reads itself back: lists, TLVs, the PDU header and PDUs.
//
// The contract, implemented by every concrete class:
//   setData(buffer)  parses: reads the object's wire form from the front of `buffer`,
//                    removing each field as it goes, so consecutive objects parse from one
//                    buffer by calling their setData one after the other;
//   getData(buffer)  encodes: appends the wire form at the back, leaving what was there.
// Both return 1 for success and 0 for failure; each class says when it returns 0.
//
// The protected static helpers are pure functions (no state, no allocation, no throw) for
// range checks and for carrying unsigned quantities through signed fields one width down:
// an unsigned byte is held as a short, an unsigned 16-bit quantity as an int.
#ifndef ORVELPDU_DATA_CIPBYTEDATA_H_
#define ORVELPDU_DATA_CIPBYTEDATA_H_

#include <cstdint>

#include "orvelpdu/export.h"

class CIPByteBuffer;

class ORVELPDU_API CIPByteData {
 public:
  ORVELPDU_INLINE_API CIPByteData();
  CIPByteData(const CIPByteData& other);
  CIPByteData& operator=(const CIPByteData& other);
  virtual ~CIPByteData();

  virtual int setData(CIPByteBuffer& buffer) = 0;
  virtual int getData(CIPByteBuffer& buffer) = 0;

 protected:
  // 1 when minimum <= value <= maximum (both inclusive), else 0.
  static int checkRange(int minimum, int value, int maximum);
  // The same test, applied to a length.
  static int checkString(int minimum, int length, int maximum);
  // With n = strlen(text) + 1 (the terminator counted): 1 when minimum <= n <= maximum.
  // A null text gives 0.
  static int checkCString(char* text, int minimum, int maximum);
  // checkCString(text, 1, maximum): does the text with its terminator fit into maximum bytes?
  static int checkCString(char* text, int maximum);

  // The byte zero-extended: 0..255.
  ORVELPDU_INLINE_API static short decodeUnsigned(unsigned char value);
  // The 16 bits read as unsigned: 0..65535.
  ORVELPDU_INLINE_API static int decodeUnsigned(short value);
  // The low 8 bits of value.
  ORVELPDU_INLINE_API static unsigned char encodeUnsigned(short value);
  // The low 16 bits of value, read as a signed 16-bit number.
  ORVELPDU_INLINE_API static short encodeUnsigned(int value);
};

// ---- Inline conversions ----

inline short CIPByteData::decodeUnsigned(unsigned char value) { return static_cast<short>(value); }

inline int CIPByteData::decodeUnsigned(short value) {
  return static_cast<int>(static_cast<std::uint16_t>(value));
}

inline unsigned char CIPByteData::encodeUnsigned(short value) {
  return static_cast<unsigned char>(static_cast<std::uint16_t>(value) & 0xFFu);
}

inline short CIPByteData::encodeUnsigned(int value) {
  return static_cast<short>(
      static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

// ---- Inline constructors ----

inline CIPByteData::CIPByteData() = default;

#endif  // ORVELPDU_DATA_CIPBYTEDATA_H_
