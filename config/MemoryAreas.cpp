#include "config/ItemParams.h"

namespace tervex {

const char* const kAreaRam = "ОЗУ";
const char* const kAreaClock = "CLOCK";
const char* const kAreaEeprom = "EEPROM";
const char* const kAreaFram = "FRAM";
const char* const kAreaXram = "XRAM";
const char* const kAreaFlash = "FLASH";

}  // namespace tervex
