#include "store/StoreError.h"

namespace store {

std::string StoreError::description() const {
    std::string text = "Error Domain=";
    text.append(domain).append(" Code=").append(std::to_string(code));
    text.append(" \"").append(message).append("\"");
    return text;
}

}  // namespace store
