#pragma once
// Shared by the fuzz targets. A TFatalError is the program's answer to bad
// input and so an expected outcome; anything else that escapes a target (any
// other exception, a crash, a sanitizer report, a time-out) is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "geom/fatal.h"

namespace koravel::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Runs one step that may end the run through Fatal; true when it returned.
template <typename Step>
bool Survives(Step&& step) {
  try {
    step();
    return true;
  } catch (const TFatalError&) {
    return false;
  }
}

// A failed self-check of a target: abort, so that the fuzzer keeps the input.
[[noreturn]] inline void Broken() { __builtin_trap(); }

}  // namespace koravel::fuzz
