#!/bin/sh
# Checks of the epoll program's command line: epoll_test.sh PROGRAM CHECK. Exits non-zero when
# the check fails.
set -u
program=$1
check=$2

fail() {
  echo "epoll_test $check: $*" >&2
  exit 1
}

case $check in
  help)
    for args in "--help" "-h" "serve --help" "test --clients 3 --help"; do
      # shellcheck disable=SC2086
      out=$("$program" $args) || fail "$args exits with status $?"
      printf '%s\n' "$out" | grep -q '^usage: epoll_exchange' || fail "$args prints no usage: $out"
    done
    ;;
  options)
    # Each line: the option the message must name, then the arguments, refused with status 2
    # before anything runs.
    while read -r named args; do
      # shellcheck disable=SC2086
      err=$("$program" $args 2>&1 >/dev/null)
      status=$?
      [ "$status" -eq 2 ] || fail "$args: exit status $status, not 2"
      printf '%s\n' "$err" | grep -qF -- "$named" || fail "$args: the message does not name $named: $err"
    done <<'LINES'
--clients test --clients 0.5
--clients test --clients 1e3
--clients test --clients 901
--requests test --requests -1
--deadline test --deadline 1e300
--deadline test --deadline
--port serve --port 65536
--port serve --port 80x
--bogus test --bogus 1
frobnicate frobnicate
LINES
    ;;
  *)
    fail "unknown check"
    ;;
esac
