#pragma once
// One quote of the quote service: twelve optional fields named as its JSON
// keys. Decoding takes each key when present (null or missing gives none)
// and fails when a present value has the wrong type; other keys are ignored.

#include <cstdint>
#include <optional>
#include <string>

#include "core/Value.h"

namespace app {

struct HitokotoModel {
    std::optional<std::int64_t> id;
    std::optional<std::string> hitokoto;
    std::optional<std::string> commit_from;
    std::optional<std::int64_t> creator_uid;
    std::optional<std::string> from;
    std::optional<std::string> from_who;
    std::optional<std::string> uuid;
    std::optional<std::int64_t> length;
    std::optional<std::string> created_at;
    std::optional<std::string> creator;
    std::optional<std::string> type;
    std::optional<std::int64_t> reviewer;

    [[nodiscard]] static std::optional<HitokotoModel> decode(const core::Value& json);
    // Only the present fields, under their keys.
    [[nodiscard]] core::Value encode() const;
};

}  // namespace app
