#pragma once
// The program's main loop: bytes from the port into the line, due answers back out.
#include <csignal>
#include <cstdint>
#include <optional>

#include "sim/Line.h"
#include "sim/app/Port.h"

namespace tervex::sim {

// Serves until *stop becomes non-zero, the duration has passed or the port fails.
// Returns the program's exit code.
int Serve(Port& port, const Clock& clock, Line& line, std::optional<int64_t> durationMs,
          const volatile std::sig_atomic_t* stop);

}  // namespace tervex::sim
