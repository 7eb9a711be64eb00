#pragma once
// Shared by the fuzz targets. A TError is the program's answer to bad input
// and so an expected outcome; anything else that escapes a target (any other
// exception, a crash, a sanitizer report, a time-out) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/error.h"

namespace koravel::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Runs one step that may fail with a TError; true when it returned.
template <typename Step>
bool Survives(Step&& step) {
  try {
    step();
    return true;
  } catch (const TError& error) {
    if (error.Lines().empty() || error.Lines().front().empty()) __builtin_trap();  // no message
    return false;
  }
}

// A failed self-check of a target: abort, so that the fuzzer keeps the input.
[[noreturn]] inline void Broken() { __builtin_trap(); }

}  // namespace koravel::fuzz
