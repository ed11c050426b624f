#include "platform/regional.h"

namespace quarnel {

RegionalSettings ReadRegionalSettings() { return RegionalSettings{}; }

}  // namespace quarnel
