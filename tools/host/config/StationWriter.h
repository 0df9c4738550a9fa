#pragma once
// A station written back as a station file, in the format the polling mode reads.
#include <string>

#include "tools/host/core/Station.h"

namespace tervex::host {

std::string StationText(const Station& station);
// A station to be edited: a file that does not exist yet gives an empty station,
// and a station without nodes is no fault here, since nodes are what gets added.
StationResult LoadStationForEditing(const std::string& path);
// False when the file cannot be written whole.
bool SaveStation(const Station& station, const std::string& path);

}  // namespace tervex::host
