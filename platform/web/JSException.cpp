#include "web/JSException.h"

namespace web {

std::string JSException::description() const {
    std::string text = name;
    if (!text.empty() && !message.empty()) {
        text.append(": ");
    }
    text.append(message);
    if (!sourceURL.empty() || line > 0) {
        text.append(" (");
        text.append(sourceURL.empty() ? std::string("line") : sourceURL);
        text.append(":");
        text.append(std::to_string(line));
        text.append(")");
    }
    return text;
}

}  // namespace web
