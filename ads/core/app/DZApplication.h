#pragma once
// The SDK-wide application object. For now it holds the process's identity:
// one random UUID made when the object is created, which the SDK's event
// logs use to tell processes apart. Safe from any thread.

#include <memory>
#include <string>

namespace ads {

class DZApplication {
public:
    [[nodiscard]] static std::shared_ptr<DZApplication> sharedInstance();

    // An upper-case version 4 UUID ("E621E1F8-C36C-495A-93FC-0C247A3E6E5F"),
    // fixed for the life of the object.
    [[nodiscard]] const std::string& UUIDString() const { return UUIDString_; }

private:
    DZApplication();

    const std::string UUIDString_;
};

}  // namespace ads
