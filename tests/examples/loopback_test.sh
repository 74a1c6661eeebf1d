#!/bin/sh
# Checks of the loopback program's command line: loopback_test.sh PROGRAM CHECK. Exits
# non-zero when the check fails.
set -u
program=$1
check=$2

fail() {
  echo "loopback_test $check: $*" >&2
  exit 1
}

case $check in
  help)
    for args in "--help" "-h" "server --help" "client --help" "client 4000 --count 3 --help"; do
      # shellcheck disable=SC2086
      out=$("$program" $args) || fail "$args exits with status $?"
      printf '%s\n' "$out" | grep -q '^usage: loopback_exchange' || fail "$args prints no usage: $out"
      for option in --count --seed --deadline --chunk; do
        printf '%s\n' "$out" | grep -q -- "$option" || fail "$args does not describe $option"
      done
    done
    ;;
  options)
    # Each line: the option the message must name, then the arguments. Every value must be
    # refused with status 2 before anything runs: fractions, exponents, values beyond the
    # option's range or its type's, signs, trailing text, a missing value.
    while read -r named args; do
      # shellcheck disable=SC2086
      err=$("$program" $args 2>&1 >/dev/null)
      status=$?
      [ "$status" -eq 2 ] || fail "$args: exit status $status, not 2"
      printf '%s\n' "$err" | grep -qF -- "$named" || fail "$args: the message does not name $named: $err"
    done <<'CASES'
--chunk --chunk 0.5
--chunk --chunk 1e19
--chunk --chunk 0
--chunk --chunk 1048577
--deadline --deadline 1e300
--deadline --deadline 0.5
--deadline --deadline 86401
--count --count 1.5
--count --count 4294967296
--count --count 0
--count --count 5x
--seed --seed -1
--seed --seed 0x10
--seed --seed 18446744073709551617
--count --count
--bogus --bogus 1
--chunk server --deadline 1 --chunk 0.5
PORT client 0
PORT client 65536
PORT client 80x
PORT client
frobnicate frobnicate
CASES
    # Values within range still run.
    out=$("$program" --count 3 --seed 0 --chunk 1 --deadline 5) || fail "a sound command fails: $?"
    printf '%s\n' "$out" | grep -qF '3 answered and paired' || fail "not every request answered: $out"
    ;;
  *)
    fail "unknown check"
    ;;
esac
exit 0
