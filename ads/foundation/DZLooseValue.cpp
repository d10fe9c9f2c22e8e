#include "ads/foundation/DZLooseValue.h"

namespace ads {

DZLooseValue DZLooseValue::array(Array items) {
    return DZLooseValue(ArrayTag{}, std::move(items));
}

DZLooseValue DZLooseValue::dictionary(Dictionary entries) {
    return DZLooseValue(DictionaryTag{}, std::move(entries));
}

}  // namespace ads
