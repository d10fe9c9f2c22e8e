#include "store/ActivityType.h"

#include <utility>

namespace store {

namespace {

const std::vector<std::pair<ActivityType, std::string>>& knownTypes() {
    static const std::vector<std::pair<ActivityType, std::string>> types{
        {ActivityTypeMessage, "Message"},
        {ActivityTypeMail, "Mail"},
        {ActivityTypePrint, "Print"},
        {ActivityTypeCopyToPasteboard, "Copy"},
        {ActivityTypeAssignToContact, "Assign to Contact"},
        {ActivityTypeSaveToCameraRoll, "Save Image"},
        {ActivityTypeAddToReadingList, "Add to Reading List"},
        {ActivityTypePostToVimeo, "Post Video"},
        {ActivityTypeOpenInIBooks, "Open in Books"},
    };
    return types;
}

}  // namespace

const std::vector<ActivityType>& allActivityTypes() {
    static const std::vector<ActivityType> types = [] {
        std::vector<ActivityType> all;
        for (const auto& [type, title] : knownTypes()) all.push_back(type);
        return all;
    }();
    return types;
}

std::string activityTitle(const ActivityType& type) {
    for (const auto& [known, title] : knownTypes())
        if (known == type) return title;
    return type;
}

}  // namespace store
