#!/usr/bin/env bash
# Builds the program and all tests with AddressSanitizer and
# UndefinedBehaviorSanitizer (g++) in build-asan/ and runs the whole suite.
# A sanitizer report aborts the binary, so it fails the unit test or the
# end-to-end case it happens in (those also demand an empty standard error).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-asan
flags="-fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all"
# -g1: function names and line tables, all a sanitizer's stack trace needs, at
# a fraction of the size of full debug information (the build folders stay
# small).
flags="$flags -fno-omit-frame-pointer -O1"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DPython3_EXECUTABLE=/usr/bin/python3 \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
# The build's lines only when it fails.
cmake --build "$build" -j2 >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$build" --output-on-failure -j2
