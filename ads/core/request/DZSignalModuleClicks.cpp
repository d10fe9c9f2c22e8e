// DZSignalModule: the click read of the module this build has, which gives
// no click signal. A module that gives one overrides it.

#include "ads/core/request/DZSignalModule.h"

namespace ads {

bool DZSignalModule::clickSignal(std::string_view, std::string&) {
    return false;
}

}  // namespace ads
