#include "ads/core/app/DZConfiguration.h"

#include "ads/foundation/DZQueueSync.h"
#include "ads/foundation/DZThreading.h"
#include "core/KeyedArchive.h"

namespace ads {

namespace {

const core::Dictionary& dictionaryOrEmpty(const core::Value& value) {
    static const core::Dictionary empty;
    const core::Dictionary* dictionary = value.dictionary();
    return dictionary ? *dictionary : empty;
}

}  // namespace

std::shared_ptr<DZConfiguration> DZConfiguration::create() {
    return std::shared_ptr<DZConfiguration>(new DZConfiguration());
}

std::shared_ptr<DZConfiguration> DZConfiguration::create(const core::Dictionary& coded) {
    auto configuration = create();
    configuration->addEntriesFromDictionary(dictionaryOrEmpty(coded[kParametersKey]),
                                            dictionaryOrEmpty(coded[kPrioritiesKey]));
    return configuration;
}

std::shared_ptr<DZConfiguration>
DZConfiguration::createWithArchive(std::span<const std::uint8_t> archive, std::string* error) {
    const auto root = core::KeyedArchive::decode(archive, error);
    if (!root) return nullptr;
    const core::Dictionary* coded = root->dictionary();
    if (!coded) {
        if (error) *error = "the archived root is not a dictionary";
        return nullptr;
    }
    return create(*coded);
}

DZConfiguration::DZConfiguration()
    : lockQueue_(DZCreateQueueWithQoS(DZQueueLabel("application-config"), DZQoSDefault)) {}

std::optional<core::Value> DZConfiguration::objectForKeyedSubscript(std::string_view key) const {
    std::optional<core::Value> value;
    DZSyncOnQueue(*lockQueue_, [&] {
        if (const core::Value* stored = parameters_.find(key)) value = *stored;
    });
    return value;
}

void DZConfiguration::setObject(std::optional<core::Value> value, std::string key,
                                std::int64_t priority) {
    lockQueue_->async(
        [self = shared_from_this(), value = std::move(value), key = std::move(key), priority] {
            if (self->updatedBySettingValue(value, priority, key)) self->didUpdate();
        });
}

void DZConfiguration::addEntriesFromDictionary(core::Dictionary dictionary, std::int64_t priority) {
    lockQueue_->async([self = shared_from_this(), dictionary = std::move(dictionary), priority] {
        bool changed = false;
        for (const auto& [key, value] : dictionary) {
            changed = self->updatedBySettingValue(value, priority, key) || changed;
        }
        if (changed) self->didUpdate();
    });
}

void DZConfiguration::addEntriesFromDictionary(const core::Dictionary& values,
                                               const core::Dictionary& priorities) {
    for (const auto& [key, priority] : priorities) {
        const core::Value* value = values.find(key);
        if (value) {
            updatedBySettingValue(*value, priority.intValue(), key);
        } else if (!priorities_.contains(key)) {
            // A removal keeps its priority across copies and archives.
            priorities_.set(key, core::Value(priority.intValue()));
        }
    }
}

bool DZConfiguration::updatedBySettingValue(const std::optional<core::Value>& value,
                                            std::int64_t priority, const std::string& key) {
    if (const core::Value* stored = priorities_.find(key);
        stored && stored->intValue() > priority) {
        return false;
    }
    const core::Value* current = parameters_.find(key);
    if (current ? value && *value == *current : !value) return false;
    if (value) {
        parameters_.set(key, *value);
    } else {
        parameters_.remove(key);
    }
    priorities_.set(key, core::Value(static_cast<long long>(priority)));
    return true;
}

void DZConfiguration::didUpdate() {
    const auto delegate = delegate_.lock();
    if (!delegate) return;
    core::Queue::global()->async(
        [delegate, self = shared_from_this()] { delegate->configurationDidUpdate(self); });
}

std::shared_ptr<DZConfigurationDelegate> DZConfiguration::delegate() const {
    std::shared_ptr<DZConfigurationDelegate> delegate;
    DZSyncOnQueue(*lockQueue_, [&] { delegate = delegate_.lock(); });
    return delegate;
}

void DZConfiguration::setDelegate(std::weak_ptr<DZConfigurationDelegate> delegate) {
    lockQueue_->async([self = shared_from_this(), delegate = std::move(delegate)] {
        self->delegate_ = delegate;
    });
}

core::Dictionary DZConfiguration::encode() const {
    core::Dictionary coded;
    DZSyncOnQueue(*lockQueue_, [&] {
        coded.set(std::string(kParametersKey), core::Value(parameters_));
        coded.set(std::string(kPrioritiesKey), core::Value(priorities_));
    });
    return coded;
}

std::optional<core::Data> DZConfiguration::archive(std::string* error) const {
    return core::KeyedArchive::encode(core::Value(encode()), error);
}

std::shared_ptr<DZConfiguration> DZConfiguration::copy() const {
    auto copy = create();
    DZSyncOnQueue(*lockQueue_, [&] { copy->addEntriesFromDictionary(parameters_, priorities_); });
    return copy;
}

}  // namespace ads
