#pragma once
// A serial port the host looks at instead of being woken by it.
#include <memory>
#include <string>

#include "tools/host/win/LinePort.h"

namespace tervex::host {

// Takes over handle: a port opened for plain (not overlapped) use whose reads
// return at once.
std::unique_ptr<LinePort> MakePolledSerialPort(void* handle, std::string description, const PortConfig& config);

}  // namespace tervex::host
