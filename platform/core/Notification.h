#pragma once
// What NotificationCenter delivers: a name, the identity of the object it is
// about (compared by address, never dereferenced) and a dictionary of details
// (or null).

#include <string>

#include "core/Value.h"

namespace core {

struct Notification {
    std::string name;
    const void* object = nullptr;
    Value userInfo;
};

}  // namespace core
