#pragma once

#include <chrono>

namespace varnelo {

// Deletion dates in the trash are local wall-clock times, so every comparison
// happens in that frame.
using Moment = std::chrono::local_seconds;
using Day = std::chrono::local_days;

}  // namespace varnelo
