// Free space of the volume that will hold the capture files. The session asks through a replaceable
// query so that a simulated deck (and the tests) can pretend a disk is nearly full.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zorv::capture {

// Bytes free for the path's volume, or nothing when the volume cannot be queried.
using FreeSpaceQuery = std::function<std::optional<uint64_t>(const std::string& path)>;

// The real query: the folder of path (path itself when it is a folder), available to this user.
std::optional<uint64_t> volumeFreeBytes(const std::string& path);

// Whole MiB of a byte count (bytes shifted right by 20).
inline uint64_t wholeMiB(uint64_t bytes) { return bytes >> 20; }

// Capture needs at least this many MiB free to start, and stops below it.
inline constexpr uint64_t kMinFreeMiB = 20;

}  // namespace zorv::capture
