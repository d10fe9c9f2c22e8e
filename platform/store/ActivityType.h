#pragma once
// The services a share sheet can hand its items to, as text values: the
// sheet offers every known type its presenter has not excluded.

#include <string>
#include <vector>

namespace store {

using ActivityType = std::string;

inline constexpr const char* ActivityTypeMessage = "vantor.activity.Message";
inline constexpr const char* ActivityTypeMail = "vantor.activity.Mail";
inline constexpr const char* ActivityTypePrint = "vantor.activity.Print";
inline constexpr const char* ActivityTypeCopyToPasteboard = "vantor.activity.CopyToPasteboard";
inline constexpr const char* ActivityTypeAssignToContact = "vantor.activity.AssignToContact";
inline constexpr const char* ActivityTypeSaveToCameraRoll = "vantor.activity.SaveToCameraRoll";
inline constexpr const char* ActivityTypeAddToReadingList = "vantor.activity.AddToReadingList";
inline constexpr const char* ActivityTypePostToVimeo = "vantor.activity.PostToVimeo";
inline constexpr const char* ActivityTypeOpenInIBooks = "vantor.activity.OpenInIBooks";

// Every known type, in the order the sheet shows them.
[[nodiscard]] const std::vector<ActivityType>& allActivityTypes();
// The short name under the type's icon ("Mail"); the type itself when unknown.
[[nodiscard]] std::string activityTitle(const ActivityType& type);

}  // namespace store
