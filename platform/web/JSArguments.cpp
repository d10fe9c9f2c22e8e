#include "web/JSArguments.h"

namespace web {

const JSArgument& JSArguments::operator[](size_t index) const {
    static const JSArgument missing;
    return index < arguments_.size() ? arguments_[index] : missing;
}

}  // namespace web
