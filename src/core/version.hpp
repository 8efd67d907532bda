// The program's name and version, as CMake's project(VERSION) gives it.
#pragma once

// BANDSCAPE_VERSION is defined by the build (CMakeLists.txt) from project(VERSION).
#ifndef BANDSCAPE_VERSION
#error "BANDSCAPE_VERSION is not defined: build with CMake"
#endif

namespace bandscape {

inline constexpr const char* kVersionNumber = BANDSCAPE_VERSION;
inline constexpr const char* kProgramVersion = "BANDSCAPE " BANDSCAPE_VERSION;

}  // namespace bandscape
