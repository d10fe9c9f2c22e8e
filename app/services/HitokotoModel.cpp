#include "app/services/HitokotoModel.h"

#include <cmath>

namespace app {

namespace {

// Reads one key into field; false when the value has the wrong type.
bool read(const core::Value& json, const char* key, std::optional<std::string>& field) {
    const core::Value& value = json[key];
    if (value.isNull()) return true;
    if (!value.isString()) return false;
    field = *value.string();
    return true;
}

bool read(const core::Value& json, const char* key, std::optional<std::int64_t>& field) {
    const core::Value& value = json[key];
    if (value.isNull()) return true;
    if (value.isInteger()) {
        field = value.intValue();
        return true;
    }
    // A number written with a fraction decodes only when it is whole.
    if (value.isDouble() && std::trunc(value.doubleValue()) == value.doubleValue()) {
        field = value.intValue();
        return true;
    }
    return false;
}

template <typename T>
void write(core::Dictionary& out, const char* key, const std::optional<T>& field) {
    if (field) out.set(key, *field);
}

}  // namespace

std::optional<HitokotoModel> HitokotoModel::decode(const core::Value& json) {
    if (!json.isDictionary()) return std::nullopt;
    HitokotoModel model;
    const bool ok = read(json, "id", model.id) && read(json, "hitokoto", model.hitokoto) &&
                    read(json, "commit_from", model.commit_from) &&
                    read(json, "creator_uid", model.creator_uid) && read(json, "from", model.from) &&
                    read(json, "from_who", model.from_who) && read(json, "uuid", model.uuid) &&
                    read(json, "length", model.length) && read(json, "created_at", model.created_at) &&
                    read(json, "creator", model.creator) && read(json, "type", model.type) &&
                    read(json, "reviewer", model.reviewer);
    if (!ok) return std::nullopt;
    return model;
}

core::Value HitokotoModel::encode() const {
    core::Dictionary out;
    write(out, "id", id);
    write(out, "hitokoto", hitokoto);
    write(out, "commit_from", commit_from);
    write(out, "creator_uid", creator_uid);
    write(out, "from", from);
    write(out, "from_who", from_who);
    write(out, "uuid", uuid);
    write(out, "length", length);
    write(out, "created_at", created_at);
    write(out, "creator", creator);
    write(out, "type", type);
    write(out, "reviewer", reviewer);
    return out;
}

}  // namespace app
