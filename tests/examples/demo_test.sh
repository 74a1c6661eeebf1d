#!/bin/sh
# Checks of what the demo shows: demo_test.sh DEMO CHECK. Exits non-zero when the check fails.
set -u
demo=$1
check=$2

# A SubmitTextResp (status 8, sequence 7) whose message id sets the window title: ESC ] 0 ;
# "pwned" BEL. A SubmitText (sequence 9) whose sender clears the screen (ESC [ 2 J) and whose
# address, text and callback address hold BEL, 0xFF, ESC and a backslash.
resp=0000001B8000002100000008000000071B5D303B70776E65640700
submit=0000002D0000002100000000000000091B5B324A0001017807FF00020000003C0004611B625C010400032B1B31

fail() {
  echo "demo_test $check: $*" >&2
  exit 1
}

# Every byte printed is printable ASCII (or a line end).
only_printable() {
  ! printf '%s\n' "$1" | LC_ALL=C grep -q '[^ -~]'
}

case $check in
  help)
    for flag in --help -h; do
      out=$("$demo" "$flag") || fail "$flag exits with status $?"
      printf '%s\n' "$out" | grep -q '^usage: demo' || fail "$flag prints no usage: $out"
      printf '%s\n' "$out" | grep -q 'decode' || fail "$flag does not describe decode"
    done
    ;;
  escapes)
    out=$("$demo" decode "$resp") || fail "exit status $?"
    more=$("$demo" decode "$submit") || fail "exit status $?"
    out="$out
$more"
    only_printable "$out" || fail "raw control bytes reach the terminal"
    for shown in 'message id       \x1B]0;pwned\x07' 'sender           \x1B[2J' \
      'type 1, x\x07\xFF' '"a\x1Bb\x5C"' 'callback         +\x1B1'; do
      printf '%s\n' "$out" | grep -qF "$shown" || fail "missing: $shown in: $out"
    done
    ;;
  shortens)
    # A SubmitTextResp whose message id is ESC and 1000 more bytes (command length 1018): the
    # line shows its start, escaped, and how long it was, not all of it.
    id=1B$(printf '41%.0s' $(seq 1000))
    out=$("$demo" decode "000003FA800000210000000000000001${id}00") || fail "exit status $?"
    line=$(printf '%s\n' "$out" | grep '^  message id') || fail "no message id: $out"
    printf '%s\n' "$line" | grep -qF 'message id       \x1BAAAA' || fail "id not shown: $line"
    printf '%s\n' "$line" | grep -qF '1001 bytes' || fail "the id's length is not shown: $line"
    [ "${#line}" -lt 400 ] || fail "a line of ${#line} characters"
    ;;
  arguments)
    err=$("$demo" frobnicate 2>&1 >/dev/null)
    status=$?
    [ "$status" -eq 2 ] || fail "exit status $status, not 2"
    printf '%s\n' "$err" | grep -qF 'frobnicate' || fail "the message does not name the argument: $err"
    printf '%s\n' "$err" | grep -q '^usage: demo' || fail "no usage: $err"
    ;;
  status)
    out=$("$demo" decode "$resp") || fail "exit status $?"
    printf '%s\n' "$out" | grep -qF 'command status   8 (0x00000008)' || fail "no status: $out"
    out=$("$demo" decode "$submit") || fail "exit status $?"
    printf '%s\n' "$out" | grep -qF 'command status   0 (0x00000000)' || fail "no status: $out"
    ;;
  generic)
    # A command id the example does not know: shown from its bytes, as header fields and TLV
    # frames, then a body that is no TLV walk as octets; never refused for its id alone.
    out=$("$demo" decode 0000001A99999999000000000000000100010002ABCD02030000 \
      0000001499999998000000000000000227DEADBE) || fail "exit status $?"
    for shown in 'command_id         0x99999999' 'parameters.0x0001  AB CD' \
      'parameters.0x0203' 'body             27 DE AD BE'; do
      printf '%s\n' "$out" | grep -qF "$shown" || fail "missing: $shown in: $out"
    done
    ;;
  several)
    out=$("$demo" decode "$resp" "$submit" "$resp") || fail "exit status $?"
    [ "$(printf '%s\n' "$out" | grep -c '^SubmitTextResp$')" -eq 2 ] || fail "not 2 responses: $out"
    [ "$(printf '%s\n' "$out" | grep -c '^SubmitText$')" -eq 1 ] || fail "not 1 request: $out"
    printf '%s\n' "$out" | grep -qF 'sequence number  9' || fail "second PDU not decoded"
    # What follows the last whole PDU must itself be a PDU: a cut one is an error, after the
    # whole ones have been shown.
    out=$("$demo" decode "$resp" 000000) && fail "a cut PDU after a whole one is accepted"
    printf '%s\n' "$out" | grep -q '^SubmitTextResp$' || fail "the whole PDU was not shown"
    ;;
  *)
    fail "unknown check"
    ;;
esac
exit 0
