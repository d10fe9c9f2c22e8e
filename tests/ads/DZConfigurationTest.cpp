#include "ads/core/app/DZConfiguration.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DMSGTesting.h"
#include "ads/core/app/DZApplication.h"
#include "ads/core/sdkcore/DZSDKCoreController.h"
#include "ads/foundation/DZLogger.h"
#include "ads/web/dmsg/DZSDKCoreDMSGHandler.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/JSON.h"
#include "core/KeyedArchive.h"
#include "core/NotificationCenter.h"
#include "core/PendingWork.h"
#include "core/RunLoop.h"
#include "core/UserDefaults.h"
#include "core/ValueTesting.h"
#include "support/ManualClockScope.h"
#include "support/ValuePrinting.h"

using namespace ads;
using core::Value;
using testsupport::expectIdentical;

namespace {

class CountingDelegate : public DZConfigurationDelegate {
public:
    void configurationDidUpdate(const std::shared_ptr<DZConfiguration>&) override { ++calls; }
    std::atomic<int> calls{0};
};

void waitForQueuedWork() {
    ASSERT_TRUE(core::RunLoop::main().runUntil([] { return !core::PendingWork::any(); }, 10));
}

std::optional<std::int64_t> priorityOf(const DZConfiguration& configuration, std::string_view key) {
    const Value priorities(configuration.encode());
    const Value& priority = priorities[DZConfiguration::kPrioritiesKey][key];
    if (priority.isNull()) return std::nullopt;
    return priority.intValue();
}

TEST(DZConfiguration, PriorityAndValueDecideWhetherAWriteLands) {
    using Write = std::pair<std::optional<Value>, std::int64_t>;
    const struct {
        const char* name;
        std::optional<Write> first;
        Write second;
        std::optional<Value> value;
        std::optional<std::int64_t> priority;
        int calls;
    } cases[] = {
        {"lower priority loses", Write{"a", 999}, {"b", 500}, "a", 999, 0},
        {"equal priority replaces", Write{"a", 500}, {"b", 500}, "b", 500, 1},
        {"higher priority replaces", Write{"a", 500}, {"b", 999}, "b", 999, 1},
        {"equal value keeps its priority", Write{"a", 500}, {"a", 999}, "a", 500, 0},
        {"bool is not the number one", Write{true, 500}, {1, 500}, 1, 500, 1},
        {"no value removes", Write{"a", 500}, {std::nullopt, 500}, std::nullopt, 500, 1},
        {"no value at a lower priority", Write{"a", 999}, {std::nullopt, 500}, "a", 999, 0},
        {"removing what is absent", {}, {{}, 500}, {}, {}, 0},
        {"first value, negative priority", {}, {-1, -5}, -1, -5, 1},
    };
    for (const auto& c : cases) {
        auto configuration = DZConfiguration::create();
        auto delegate = std::make_shared<CountingDelegate>();
        if (c.first) configuration->setObject(c.first->first, "key", c.first->second);
        configuration->setDelegate(delegate);
        configuration->setObject(c.second.first, "key", c.second.second);
        waitForQueuedWork();
        EXPECT_EQ(configuration->objectForKeyedSubscript("key"), c.value) << c.name;
        EXPECT_EQ(priorityOf(*configuration, "key"), c.priority) << c.name;
        EXPECT_EQ(delegate->calls, c.calls) << c.name;
    }
}

TEST(DZConfiguration, AddingEntriesTellsTheDelegateOnce) {
    auto configuration = DZConfiguration::create();
    auto delegate = std::make_shared<CountingDelegate>();
    configuration->addEntriesFromDictionary({{"a", 1}, {"b", 2}, {"id", "x"}}, 500);
    configuration->setObject(Value("publisher"), "id", 999);
    configuration->setDelegate(delegate);
    configuration->addEntriesFromDictionary({{"a", 1}, {"b", 3}, {"id", "server"}}, 500);
    configuration->addEntriesFromDictionary({{"a", 1}, {"id", "server"}}, 500);
    waitForQueuedWork();
    EXPECT_EQ(delegate->calls, 1);
    EXPECT_EQ(configuration->objectForKeyedSubscript("b"), Value(3));
    EXPECT_EQ(configuration->objectForKeyedSubscript("id"), Value("publisher"));
    EXPECT_EQ(configuration->delegate(), delegate);
    // Held weakly.
    delegate.reset();
    EXPECT_EQ(configuration->delegate(), nullptr);
}

TEST(DZConfiguration, ArchiveAndCopyKeepValuesAndPriorities) {
    auto configuration = DZConfiguration::create();
    configuration->addEntriesFromDictionary(
        {{"unsigned", Value(std::uint64_t{18446744073709551615u})},
         {"date", core::Date{1700000000.5}},
         {"settings", core::Dictionary{{"z", 1}, {"a", core::Array{"x"}}}}},
        500);
    configuration->setObject(Value("app"), "app_id", 999);
    configuration->setObject(Value(1), "removed", 1);
    configuration->setObject(std::nullopt, "removed", 2);
    const Value coded(configuration->encode());

    std::string error;
    const auto archive = configuration->archive(&error);
    ASSERT_TRUE(archive) << error;
    const auto unarchived = DZConfiguration::createWithArchive(*archive, &error);
    ASSERT_TRUE(unarchived) << error;
    expectIdentical(Value(unarchived->encode()), coded, "unarchived");
    EXPECT_EQ(priorityOf(*unarchived, "removed"), 2);

    auto delegate = std::make_shared<CountingDelegate>();
    configuration->setDelegate(delegate);
    const auto copy = configuration->copy();
    expectIdentical(Value(copy->encode()), coded, "copy");
    EXPECT_EQ(copy->delegate(), nullptr);
    copy->setObject(Value("other"), "app_id", 999);
    EXPECT_EQ(configuration->objectForKeyedSubscript("app_id"), Value("app"));
}

// The application's configuration, stored in the standard user defaults.
class DZApplicationConfiguration : public testing::Test {
protected:
    void SetUp() override { reset(); }
    void TearDown() override {
        waitForQueuedWork();
        reset();
    }

    static void reset() {
        DZApplication::resetForTesting();
        core::UserDefaults::standard()->removeObjectForKey(
            DZApplication::kConfigurationDefaultsKey);
    }

    static void store(Value value) {
        core::UserDefaults::standard()->setObject(
            std::string(DZApplication::kConfigurationDefaultsKey), std::move(value));
    }

    static Value stored() {
        return core::UserDefaults::standard()->objectForKey(
            DZApplication::kConfigurationDefaultsKey);
    }

    // The configuration stored now; nullptr when there is none.
    static std::shared_ptr<DZConfiguration> reread() {
        const Value saved = stored();
        return saved.isData() ? DZConfiguration::createWithArchive(*saved.data()) : nullptr;
    }

    // Counts the change notifications of the configuration it is given,
    // calling onEach at each one.
    struct Announcements {
        explicit Announcements(
            const DZConfiguration* configuration, std::function<void()> onEach = [] {})
            : token(core::NotificationCenter::defaultCenter().addObserver(
                  DZApplication::kConfigurationChangedNotification, configuration, nullptr,
                  [this, onEach](const core::Notification&) {
                      onEach();
                      ++count;
                  })) {}
        ~Announcements() { core::NotificationCenter::defaultCenter().removeObserver(token); }
        std::atomic<int> count{0};
        core::NotificationCenter::Token token;
    };
};

TEST_F(DZApplicationConfiguration, StoredConfigurationComesBackNotRefreshed) {
    auto previous = DZConfiguration::create();
    previous->addEntriesFromDictionary({{"app_id", "app"}}, 999);
    previous->addEntriesFromDictionary({{"app_config_refreshed_since_app_start", true}}, 500);
    const auto archive = previous->archive();
    ASSERT_TRUE(archive);
    store(*archive);

    const auto configuration = DZApplication::sharedInstance()->configuration();
    Announcements announcements(configuration.get());
    EXPECT_EQ(configuration->objectForKeyedSubscript("app_id"), Value("app"));
    EXPECT_EQ(configuration->objectForKeyedSubscript("app_config_refreshed_since_app_start"),
              Value(false));
    EXPECT_EQ(DZApplication::sharedInstance()->configuration(), configuration);
    waitForQueuedWork();
    // That change is neither saved nor announced.
    EXPECT_EQ(stored(), Value(*archive));
    EXPECT_EQ(announcements.count, 0);
}

TEST_F(DZApplicationConfiguration, UnreadableArchiveGivesAnEmptyConfigurationUntilTheNextChange) {
    auto full = DZConfiguration::create();
    full->setObject(Value("app"), "app_id", 999);
    core::Data truncated = full->archive().value();
    truncated.resize(truncated.size() / 2);
    const Value cases[] = {Value(truncated), Value(core::Data{'{', '}'}),
                           Value(core::KeyedArchive::encode(Value(1)).value()), Value("not data")};
    for (const Value& bytes : cases) {
        reset();
        store(bytes);
        core::Console::Capture capture;
        const auto configuration = DZApplication::sharedInstance()->configuration();
        ASSERT_NE(configuration, nullptr);
        EXPECT_EQ(Value(configuration->encode())["parameters"], Value(core::Dictionary{}));
        DZLogger::sharedInstance().waitForLogging();
        EXPECT_TRUE(capture.contains("application configuration")) << bytes.stringValue();

        Announcements announcements(configuration.get());
        configuration->setObject(Value("app"), "app_id", 999);
        ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return announcements.count == 1; }, 10));
        const auto saved = reread();
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->objectForKeyedSubscript("app_id"), Value("app"));
    }
}

TEST_F(DZApplicationConfiguration, SavesLandInChangeOrder) {
    const auto configuration = DZApplication::sharedInstance()->configuration();
    constexpr int kThreads = 4;
    constexpr int kWrites = 250;
    auto key = [](int thread) { return "thread" + std::to_string(thread); };
    // What the store holds at each announcement: no key may go back.
    std::mutex mutex;
    std::vector<std::int64_t> latest(kThreads, 0);
    bool wentBack = false;
    Announcements announcements(configuration.get(), [&] {
        const auto saved = reread();
        std::lock_guard lock(mutex);
        for (int t = 0; t < kThreads && saved; ++t) {
            const auto value = saved->objectForKeyedSubscript(key(t)).value_or(0).intValue();
            wentBack = wentBack || value < latest[t];
            latest[t] = std::max(latest[t], value);
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 1; i <= kWrites; ++i) configuration->setObject(Value(i), key(t), 500);
        });
    }
    for (auto& writer : writers) writer.join();
    // Each write changed something, and each change is announced once.
    EXPECT_TRUE(core::RunLoop::main().runUntil(
        [&] { return announcements.count == kThreads * kWrites; }, 20));
    waitForQueuedWork();
    EXPECT_EQ(announcements.count, kThreads * kWrites);
    std::lock_guard lock(mutex);
    EXPECT_FALSE(wentBack);
    EXPECT_EQ(latest, std::vector<std::int64_t>(kThreads, kWrites));
}

// The app-settings requests, kept instead of reaching a core page.
class DZAppSettingsCycle : public DZApplicationConfiguration {
protected:
    void SetUp() override {
        DZApplicationConfiguration::SetUp();
        DZApplication::setScriptBuilderReceiverForTesting(
            [this](DZSDKCoreController::ScriptBuilder builder) {
                requests.push_back(std::move(builder));
            });
        core::UserDefaults::standard()->removeObjectForKey(DZApplication::kStaleTimeKey);
    }
    void TearDown() override {
        DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        core::UserDefaults::standard()->removeObjectForKey(DZApplication::kStaleTimeKey);
        DZApplicationConfiguration::TearDown();
    }
    // The argument of the script that a request's builder makes now; null
    // when it makes none.
    static Value argument(const DZSDKCoreController::ScriptBuilder& builder) {
        const auto script = builder("7");
        const std::string head = "setTimeout(function(){DUZO_fetchAppSettings(";
        const std::string tail = ");}, 1);";
        if (!script || !script->starts_with(head) || !script->ends_with(tail)) return Value();
        const size_t length = script->size() - head.size() - tail.size();
        return core::JSON::parse(script->substr(head.size(), length)).value_or(Value());
    }

    std::vector<DZSDKCoreController::ScriptBuilder> requests;
};

TEST_F(DZAppSettingsCycle, TheRequestNamesTheAppAndMarksOnlyThePublishersOwn) {
    const auto application = DZApplication::sharedInstance();
    const Value pn("app.vantor.gallery");
    application->refreshServerSideConfiguration();
    ASSERT_FALSE(requests.empty());
    EXPECT_TRUE(argument(requests.back()).isNull()) << "nothing names the app";

    application->configuration()->setObject(
        Value("unit-1"), std::string(DZApplication::kLastRequestedAdUnitIDKey), 999);
    application->refreshServerSideConfiguration();
    EXPECT_EQ(argument(requests.back()),
              Value(core::Dictionary{{"ad_unit_id", "unit-1"}, {"pn", pn}}));
    EXPECT_TRUE(argument(requests.back()).isNull()) << "the flag was cleared";

    application->loadServerSideConfigurationForPublisherApplicationID("pub-1");
    EXPECT_EQ(argument(requests.back()),
              Value(core::Dictionary{{"app_id", "pub-1"}, {"pn", pn}, {"is_init", true}}));
    // Two refreshes before the page is ready make one script.
    application->refreshServerSideConfiguration();
    application->refreshServerSideConfiguration();
    EXPECT_EQ(argument(requests.back()), Value(core::Dictionary{{"app_id", "pub-1"}, {"pn", pn}}));
    ASSERT_GE(requests.size(), 2u);
    EXPECT_TRUE(argument(requests[requests.size() - 2]).isNull());

    application->loadServerSideConfigurationForPublisherApplicationID(std::nullopt);
    EXPECT_EQ(argument(requests.back()),
              Value(core::Dictionary{{"ad_unit_id", "unit-1"}, {"pn", pn}, {"is_init", true}}));
}

TEST_F(DZAppSettingsCycle, StaleSettingsAreAskedForAgain) {
    testsupport::ManualClockScope clock;
    const auto application = DZApplication::sharedInstance();
    const auto refreshesAfter = [&](double seconds) {
        application->configuration()->setObject(
            Value(core::Date{clock->wallSeconds() - seconds}),
            std::string(DZApplication::kLastRefreshTimestampKey), 500);
        const size_t before = requests.size();
        application->loadServerSideConfigurationIfNeeded();
        return requests.size() > before;
    };
    application->loadServerSideConfigurationIfNeeded();
    EXPECT_EQ(requests.size(), 1u) << "never refreshed";
    EXPECT_FALSE(refreshesAfter(7199));
    EXPECT_TRUE(refreshesAfter(7200));
    EXPECT_FALSE(refreshesAfter(-3600)) << "the clock went back";
    const auto defaults = core::UserDefaults::standard();
    defaults->setObject(std::string(DZApplication::kStaleTimeKey), "100");
    EXPECT_FALSE(refreshesAfter(99));
    EXPECT_TRUE(refreshesAfter(100));
    // Zero, negative or beyond the number range counts as none.
    for (const char* limit : {"0", "-5", "1e400"}) {
        defaults->setObject(std::string(DZApplication::kStaleTimeKey), limit);
        EXPECT_FALSE(refreshesAfter(7199)) << limit;
        EXPECT_TRUE(refreshesAfter(7200)) << limit;
    }
}

TEST_F(DZAppSettingsCycle, OnlyASuccessfulObjectOfStatusOneIsMerged) {
    testsupport::ManualClockScope clock;
    const auto configuration = DZApplication::sharedInstance()->configuration();
    configuration->setObject(Value("publisher"), "app_id", 999);
    const auto handler = std::make_shared<DZSDKCoreDMSGHandler>();
    const auto send = [&](core::Dictionary parameters) {
        EXPECT_TRUE(handler->handleNotification(
            dmsgtesting::message("appSettingsFetched", std::move(parameters)), nullptr));
    };
    core::Console::Capture capture;
    send({{"isSuccessful", "0"}, {"appSettingsJson", R"({"status":1,"a":1})"}});
    send(
        {{"isSuccessful", "1"}, {"errorMessage", "quota"}, {"appSettingsJson", R"({"status":1})"}});
    for (const char* json : {"[1]", "{not json", R"({"status":2,"a":3})", R"({"a":4})"})
        send({{"isSuccessful", "1"}, {"appSettingsJson", json}});
    waitForQueuedWork();
    EXPECT_FALSE(configuration->objectForKeyedSubscript("a"));
    EXPECT_FALSE(configuration->objectForKeyedSubscript(DZApplication::kRefreshedSinceAppStartKey));
    DZLogger::sharedInstance().waitForLogging();
    EXPECT_TRUE(capture.contains("quota"));

    Announcements announcements(configuration.get());
    send(
        {{"isSuccessful", "1"},
         {"appSettingsJson", R"({"status":"1","app_id":"server","ad_unit_id_settings":{"u":1}})"}});
    ASSERT_TRUE(core::RunLoop::main().runUntil([&] { return announcements.count == 1; }, 10));
    const Value coded(configuration->encode());
    EXPECT_EQ(coded["parameters"],
              Value(core::Dictionary{
                  {"app_id", "publisher"},
                  {"ad_unit_id_settings", core::Dictionary{{"u", 1}}},
                  {"app_config_last_refresh_timestamp", core::Date{core::ManualClock::kStartWall}},
                  {"app_config_refreshed_since_app_start", true}}));
    EXPECT_EQ(coded["priorities"]["ad_unit_id_settings"], Value(500));
    const auto saved = reread();
    ASSERT_TRUE(saved);
    EXPECT_EQ(Value(saved->encode()), coded);
}

}  // namespace
