#include "web/JSResult.h"

namespace web {

JSResult JSResult::failure(std::string message, std::string name) {
    JSException exception;
    exception.message = std::move(message);
    exception.name = std::move(name);
    return JSResult(std::move(exception));
}

}  // namespace web
