// The example protocol's SubmitText as it was written by hand on the library before PDUs
// were described, kept as the benchmarks' baseline for described PDUs.
//
// Message is what every PDU of the text-messaging protocol shares on top of CPDU: encoding in
// place with the command length sealed to the bytes written, and the checks a careful
// receiver makes before it trusts a header. Parsing failures are reported, never papered over with
// fill values: a PDU whose setData returns 0 names the problem in error().
#ifndef ONLIB_MESSAGE_H_
#define ONLIB_MESSAGE_H_

#include <orvelpdu/orvelpdu.h>

#include <string>

namespace onlib {

class Message : public CPDU {
 public:
  static constexpr int kHeaderLength = 16;

  // Why the last setData or getData returned 0; empty after success.
  const std::string& error() const { return error_; }

  // Encodes the PDU: header, body and optional parameters, with the command length (in the
  // bytes and in this PDU) set to the bytes written. Returns 0 (nothing appended) when a field
  // cannot be encoded; std::bad_alloc passes through, also with nothing appended.
  int getData(CIPByteBuffer& out) override;
  // Parses one PDU from the front of `in`: at least 16 bytes, a command length from 16 up to
  // the bytes held, the expected command id; then exactly command length - 16 bytes of body,
  // all of which the body must consume. Returns 0 and sets error() on malformed input; the
  // PDU's bytes are then consumed when the header was sound, otherwise nothing is. Validity
  // tells how far parsing got: VALID_NONE for an unsound header or a foreign command id,
  // VALID_HEADER for a sound header with a malformed body, VALID_ALL for a whole PDU.
  int setData(CIPByteBuffer& in) override;

 protected:
  explicit Message(int commandId);

  // Record why parsing or encoding failed; return 0 for `return fail(...)`.
  int fail(std::string why);

  // Removes a NUL-ended C-string field; 0 (and error()), removing nothing, when the NUL is
  // missing.
  int takeCString(CIPByteBuffer& in, CString& out, const char* field);
  // Appends `text` as a NUL-ended C-string field. 0 (and error()), with nothing appended, when
  // the text holds a NUL itself: the peer would read only the part before it.
  int putCString(CIPByteBuffer& out, const CString& text, const char* field);
  // 1 when `text` holds no NUL among its counted characters; else 0 and error() names `field`.
  int checkNoNul(const CString& text, const char* field);

 private:
  int commandId_;
  std::string error_;
};

}  // namespace onlib

#endif  // ONLIB_MESSAGE_H_
