# Shell functions shared by the CI steps (.ci/steps/*), sourced by each. Sourcing it stops the
# step at the first failing command, moves to the checkout's root, and runs what the step
# registered with on_exit when it ends, whether it passed or failed.
# The variables set here are for the steps that source this file.
# shellcheck shell=bash disable=SC2034

set -euo pipefail
ci_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$ci_dir/.."

# Commands that prefix another to run it as root: nothing when CI already runs as root.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# banner <text>: starts a section of the log.
banner() { printf '\n==== %s ====\n' "$*"; }

# on_exit <command>: runs <command> (a string, evaluated) when the step exits, after those
# registered later. A failing clean-up does not change the step's exit status.
ci_cleanups=()
on_exit() { ci_cleanups+=("$1"); }
ci_run_cleanups() {
  local i
  for ((i = ${#ci_cleanups[@]} - 1; i >= 0; i--)); do
    eval "${ci_cleanups[i]}" || true
  done
}
trap ci_run_cleanups EXIT

# need <Debian package>...: installs those of the packages that are missing (through the deps
# step, which uses apt-get), so that a step run alone on a fresh machine has what it uses.
# When .ci/run has run the deps step first, this only confirms that all are there.
need() {
  local package missing=()
  for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  [ "${#missing[@]}" -eq 0 ] || "$ci_dir/steps/deps" "${missing[@]}"
}
# What building and running the test suite needs, for steps that configure a preset with tests.
test_packages=(cmake ninja-build g++ libgtest-dev libgmock-dev)

# built <preset>: configures the preset's build tree unless it is configured already, then
# brings it up to date (nothing to do when the step that made it has just built it).
built() {
  [ -f "build/$1/CMakeCache.txt" ] || cmake --preset "$1"
  cmake --build --preset "$1"
}

# Debian's multiarch library directory, where a /usr install puts the library.
libdir=lib/$(gcc -print-multiarch)

# scratch_dir: sets $scratch to a new directory that is removed when the step ends.
scratch_dir() {
  scratch=$(mktemp -d)
  # shellcheck disable=SC2016  # expanded when the step exits
  on_exit 'rm -rf "$scratch"'
}

strict=(-Wall -Wextra -Wpedantic -Werror)

# consume_cmake <name> <cmake arguments...>: builds tests/consumer through the CMake package
# that the arguments lead to, as C++17 and as C++20, and runs it. Needs $scratch.
consume_cmake() {
  local name=$1 standard
  shift
  for standard in 17 20; do
    cmake -S tests/consumer -B "$scratch/$name-cmake-$standard" -G Ninja \
      -DCMAKE_CXX_STANDARD=$standard -DCMAKE_CXX_STANDARD_REQUIRED=ON -DCMAKE_CXX_EXTENSIONS=OFF \
      "$@" >/dev/null
    cmake --build "$scratch/$name-cmake-$standard" >/dev/null
    echo "-- $name, CMake package, C++$standard," \
      "$(grep '^OrvelPDU_DIR' "$scratch/$name-cmake-$standard/CMakeCache.txt")"
    "$scratch/$name-cmake-$standard/consumer"
  done
}

# consume_pkg_config <name> <lookup>: builds tests/consumer/main.cpp with the flags of the
# orvelpdu.pc that pkg-config finds, as C++17 and as C++20, and runs it. The program finds the
# shared library at run time through <lookup>: "rpath" (from the .pc file's libdir) or
# "LD_LIBRARY_PATH=<dir>". Needs $scratch.
consume_pkg_config() {
  local name=$1 lookup=$2 standard
  local link=() environment=()
  case "$lookup" in
    rpath) link=("-Wl,-rpath,$(pkg-config --variable=libdir orvelpdu)") ;;
    LD_LIBRARY_PATH=*) environment=("$lookup") ;;
    *)
      echo "consume_pkg_config: unknown lookup $lookup" >&2
      return 2
      ;;
  esac
  for standard in 17 20; do
    # shellcheck disable=SC2046  # pkg-config prints several words on purpose
    g++ -std=c++$standard "${strict[@]}" tests/consumer/main.cpp -o "$scratch/$name-pc-$standard" \
      $(pkg-config --cflags --libs orvelpdu) "${link[@]}"
    echo "-- $name, pkg-config ($(pkg-config --variable=pcfiledir orvelpdu)), C++$standard," \
      "library found by $lookup"
    env "${environment[@]}" "$scratch/$name-pc-$standard"
  done
}
