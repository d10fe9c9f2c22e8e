// The server constants the core page sends after each load: stored under
// "/dozuza/ads/<name>" by kind (text, list, text map, JSON), a few converted
// first, a few applied to live objects, then announced.

#include <cmath>
#include <initializer_list>

#include "ads/core/app/DZApplication.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZAppSession.h"
#include "ads/foundation/DZBoolCache.h"
#include "ads/foundation/DZCharacterSets.h"
#include "ads/foundation/DZJSONAdditions.h"
#include "ads/foundation/DZLocationService.h"
#include "ads/foundation/DZSawmill.h"
#include "ads/foundation/DZValueHelpers.h"
#include "ads/web/intercept/DZAdViewResourceCollection.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "core/NotificationCenter.h"
#include "core/UserDefaults.h"

namespace ads {

namespace {

using Names = std::initializer_list<std::string_view>;

class ConstantStore {
public:
    explicit ConstantStore(const core::Dictionary& constants)
        : constants_(constants), defaults_(core::UserDefaults::standard()) {}

    [[nodiscard]] std::optional<std::string> text(std::string_view name) const {
        const core::Value* value = constants_.find(name);
        if (!value || value->isNull()) return std::nullopt;
        return value->stringValue();
    }
    [[nodiscard]] std::optional<core::Value> json(std::string_view name) const {
        const auto value = text(name);
        if (!value) return std::nullopt;
        Error error;
        return dz_decodedJSONObjectError(*value, &error);
    }
    [[nodiscard]] bool flag(std::string_view name) const {
        const core::Value* value = constants_.find(name);
        return value && value->boolValue();
    }

    void texts(Names names) const {
        for (const auto name : names)
            if (const auto value = text(name); value && !value->empty())
                defaults_->setString(key(name), *value);
    }
    void lists(Names names) const {
        for (const auto name : names) {
            const auto value = text(name);
            if (!value) {
                defaults_->removeObjectForKey(key(name));
                continue;
            }
            core::Array pieces;
            size_t start = 0;
            for (size_t end; (end = value->find(',', start)) != std::string::npos; start = end + 1)
                pieces.emplace_back(value->substr(start, end - start));
            pieces.emplace_back(value->substr(start));
            defaults_->setObject(key(name), std::move(pieces));
        }
    }
    void textMaps(Names names) const {
        for (const auto name : names) {
            const auto value = json(name);
            const core::Dictionary* decoded = value ? value->dictionary() : nullptr;
            if (!decoded) continue;
            core::Dictionary kept;
            for (const auto& [entryKey, entryValue] : *decoded)
                if (entryValue.isString()) kept.set(entryKey, entryValue);
            if (!kept.empty()) defaults_->setObject(key(name), std::move(kept));
        }
    }
    void jsonValue(std::string_view name) const {
        if (!constants_.contains(name)) {
            defaults_->removeObjectForKey(key(name));
            return;
        }
        if (auto value = json(name)) defaults_->setObject(key(name), std::move(*value));
    }

    [[nodiscard]] static std::string key(std::string_view name) {
        return std::string(DZSDKCoreController::kConstantPrefix) + std::string(name);
    }

private:
    const core::Dictionary& constants_;
    const std::shared_ptr<core::UserDefaults> defaults_;
};

// A positive finite number of seconds, else nullopt.
std::optional<double> positiveSeconds(const core::Value& value) {
    const auto seconds = DZNumericValue(value);
    if (!seconds || !(*seconds > 0)) return std::nullopt;
    return seconds;
}

}  // namespace

void DZSDKCoreController::didLoadSDKConstants(DZSDKCoreDMSGHandler&,
                                              const core::Dictionary& constants) {
    applyConstants(constants);
    core::NotificationCenter::defaultCenter().post(kDidUpdateConstantsNotification, this);
    lockQueue_->async([self = shared_from_this()] { self->SDKCoreUpdateHandled_ = true; });
}

void DZSDKCoreController::applyConstants(const core::Dictionary& constants) {
    const ConstantStore store(constants);
    const auto defaults = core::UserDefaults::standard();

    const auto interceptor = DZMRAIDInterceptor::sharedInstance();
    interceptor->setBannerImplementationURLString(store.text("mraid_banner_path"));
    interceptor->setInterstitialImplementationURLString(store.text("mraid_interstitial_path"));
    interceptor->setExpandedBannerImplementationURLString(store.text("mraid_expanded_banner_path"));
    interceptor->setEnabled(store.text("mraid_disable_redirect") != "1");

    // A size outside the counter's range is no size.
    const auto cacheSize = DZIntegerValue<std::uint64_t>(constants["live_view_unload_cache_size"]);
    const bool newWebViews = store.flag("use_new_web_views_for_live_view");
    std::optional<double> samplingInterval;
    if (const auto refresh = store.json("refresh_intervals"); refresh && refresh->dictionary())
        samplingInterval = positiveSeconds((*refresh)["live_view_sampling_interval"]);
    // A missing, zero, negative or unreadable limit keeps the default.
    const double timeout = positiveSeconds(constants["dz:javascript_completion_timeout"])
                               .value_or(kDefaultCompletionTimeout);
    lockQueue_->async(
        [self = shared_from_this(), cacheSize, newWebViews, samplingInterval, timeout] {
            if (cacheSize && *cacheSize >= 1) self->liveViewUnloadCacheMaxSize_ = *cacheSize;
            self->useNewWebViewsForLiveViewProcessing_ = newWebViews;
            if (samplingInterval) self->liveViewSamplingInterval_ = *samplingInterval;
            self->SDKCoreJavaScriptCompletionBlockTimeoutInterval_ = timeout;
        });

    store.textMaps({"clickthrough_confirm_schemes"});
    store.lists({"dzads:interstitial_ad_pool:schema"});
    DZLocationService::sharedInstance()->setFeatureEnabled(store.flag("auto_collect_location"));
    store.textMaps({"dzads:interstitial_ad_pool:field_names",
                    "dzads:interstitial_ad_pool:allowed_schema_patterns"});
    storeExperimentIDs(constants);
    store.jsonValue("dzads:sawmill_config");
    DZBoolCacheSet(DZApplication::kInitDelayFlag, store.flag("init_delay"));
    if (const auto milliseconds =
            DZNumericValue(constants["dzads:app_activity_tracker:app_session_timeout_ms"]))
        DZSetAppSessionTimeoutMilliseconds(*milliseconds);

    store.texts({"dzads:sai:enabled", "dzads:sai:click_navigation_enabled",
                 "dzads:sai:interstitial_screen_enabled", "dzads:sai:using_macro:enabled"});
    store.lists({"dzads:sai:impression_ping_schema", "dzads:sai:click_ping_schema",
                 "dzads:safariviewcontroller_supported_schemes"});
    store.texts({"bad_ad_report_path",
                 "use_cancelled_url_error",
                 "as_domains",
                 "native_ad_support_url",
                 "native_ad_video_support_url",
                 "banner_prevent_autoplay",
                 "ad_key_parent_view_count",
                 "foreground_ping_enabled",
                 "foreground_ping_delay",
                 "foreground_ping_url",
                 "volume_view",
                 "bg_reload_enabled",
                 "native-indiscriminate-recognition",
                 "disable_interstitial_click_ping_on_click_navigation",
                 "prefetch_enabled",
                 "deeplinkplus_enabled",
                 "strict_universal_links_option_name",
                 "enable_refresh_dmsg_protection",
                 "show_landing_page_in_custom_browser",
                 "dzads:app_settings_stale_time",
                 "dzads:rbv_cld_early_set_up",
                 "dzads:idfa_lat_in_adrequest:enabled",
                 "dzads:rdiim_signal",
                 "dzads:rendered_content_check:enabled",
                 "handle_iframe_navigation",
                 "dzads:mediating_slot_check:enabled",
                 "dzads:custom_close_blocking:enabled",
                 "dzads:close_button:scale",
                 "dz:interstitial:close_button_padding_dip",
                 "default_ad_network_timeout",
                 "default_final_ad_network_timeout",
                 "wv_class",
                 "wk_initialization_load",
                 "dzads:sdk_core_wv_experiment:fraction",
                 "dzads:sdk_core_wv_experiment:control",
                 "dzads:sdk_core_wv_experiment:experiment",
                 "wv_viewport_script",
                 "wv_content_size_delay",
                 "enable_http_web_view_pings",
                 "wv_request_poll_interval",
                 "ad_view_placeholder_window"});

    if (const auto prefix = store.text("ns_prefix"); prefix && !prefix->empty()) {
        if (const auto efs = store.text("efs")) defaults->setString(*prefix + "efs", *efs);
        if (const auto domains = store.json("dns_domain_set"); domains && domains->array()) {
            core::Array kept;
            for (const core::Value& domain : *domains->array())
                if (domain.isString()) kept.push_back(domain);
            defaults->setObject(*prefix + "dns_domain_set", std::move(kept));
        }
    }

    store.texts({"url_time_to_live",
                 "maximum_retry_url_count",
                 "ping_interval",
                 "iap_equivalent_classes",
                 "iap_report_format",
                 "iap_retry_suffix",
                 "content_age_weight",
                 "content_length_weight",
                 "space_delimited_unicode_range",
                 "minimum_paragraph_length",
                 "maximum_shingle_count",
                 "content_queue_maximum_capacity",
                 "shingle_length",
                 "traversal_interval",
                 "character_delimited_unicode_range",
                 "csi_request_batch_size",
                 "csi_reporting_probability",
                 "csi_reporting_interval",
                 "csi_reporting_url",
                 "dzads:interstitial_ad_pool:enabled",
                 "dzads:interstitial_ad_pool:max_pools",
                 "dzads:interstitial_ad_pool:max_pool_depth",
                 "dzads:interstitial_ad_pool:time_limit_sec",
                 "dzads:interstitial_ad_pool:refill_policy",
                 "dzads:interstitial_ad_pool:ad_unit_exclusions",
                 "sb_render_delay"});
    if (constants.contains("sb_greedy"))
        DZAdViewResourceCollection::setGreedyCollectionEnabled(store.flag("sb_greedy"));
    store.texts({"sb_response",
                 "view_controller_only_supports_application_orientation",
                 "application_supports_split_screen",
                 "enable_in_app_preview",
                 "in_app_preview_status_url",
                 "debug_device_linking_url",
                 "enable_debug_signals",
                 "debug_signal_status_url",
                 "debug_signal_data_url",
                 "opengl_external_pitch_multiplier",
                 "opengl_external_roll_mulitiplier",
                 "video_processing_output_empty_frame_timeinterval_threshold",
                 "js_should_run_in_default_run_loop_mode",
                 "dzads:native_video_load_timeout",
                 "dzads:js_async_delay_time",
                 "dz:media_view_scrollview_disable",
                 "dz:delay_page_close_timeout",
                 "dzads:video_playback_optimization_disabled",
                 "dzads:player_to_video_manager_reporting_disabled",
                 "dzads:video_configuration",
                 "dzads:gcache_should_use_advance_video_control",
                 "dzads:pub_unmuted_video_audio_category_control_enabled",
                 "dzads:interstitial_player_to_video_manager_reporting_enabled",
                 "dzads:impression_optimization_enabled"});
    store.lists({"dzads:banner_ad_pool:schema"});
    store.texts({"dzads:banner_ad_pool:max_pools", "dzads:banner_ad_pool:max_queues",
                 "dz:native_ad_statistics_max_count", "dzads:sdk_core_constants:caps"});

    DZSawmill::sharedInstance()->updateIfNeeded();
    DZCharacterSets::sharedInstance().updateCharacterSets();

    // A comma-separated list of class names; a JSON array of texts also reads.
    std::optional<std::vector<std::string>> adapters;
    if (const auto value = store.text("adapter_class_names")) {
        adapters.emplace();
        const auto decoded = store.json("adapter_class_names");
        if (decoded && decoded->array()) {
            for (const core::Value& name : *decoded->array())
                if (name.isString() && !name.string()->empty()) adapters->push_back(*name.string());
        } else {
            size_t start = 0;
            for (size_t end = 0; start <= value->size(); start = end + 1) {
                end = value->find(',', start);
                if (end == std::string::npos) end = value->size();
                if (end > start) adapters->push_back(value->substr(start, end - start));
            }
        }
    }
    DZApplication::sharedInstance()->updateAvailableAdapterNamesWithPotentialAdapterNames(adapters);
}

void DZSDKCoreController::storeExperimentIDs(const core::Dictionary& constants) {
    const auto defaults = core::UserDefaults::standard();
    defaults->removeObjectForKey(kExperimentIDStringKey);
    if (const core::Value* given = constants.find("experiment_id_string")) {
        if (given->isString())
            defaults->setString(std::string(kExperimentIDStringKey), *given->string());
        return;
    }
    std::string joined;
    const auto append = [&joined](const std::string& piece) {
        joined += (joined.empty() ? "" : ",") + piece;
    };
    constexpr std::string_view kSuffix = "experiment_id";
    for (const auto& [name, value] : constants)
        if (value.isString() && name.size() >= kSuffix.size() &&
            name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) == 0)
            append(*value.string());
    if (experimentID_) append(*experimentID_);
    if (!joined.empty()) defaults->setString(std::string(kExperimentIDStringKey), joined);
}

}  // namespace ads
