// The app-settings round trip with our core page and the local ad server:
// the request through the core controller, the page's fetch through the
// SDK, its answer merged into the application configuration and saved.

#include "SDKCoreTesting.h"
#include "ads/core/app/DZApplication.h"
#include "core/PendingWork.h"
#include "support/ValuePrinting.h"

using namespace ads;
using core::Value;
using sdkcoretesting::waitFor;

namespace {

class DZAppSettingsService : public sdkcoretesting::SDKCoreTest {
protected:
    void SetUp() override {
        SDKCoreTest::SetUp();
        clearConfiguration();
        // Start-up first: a stage 2 that finds the identifier asks too.
        DZApplication::sharedInstance()->runEarlyActivities();
        makeController();
        DZApplication::setScriptBuilderReceiverForTesting(
            [weak = std::weak_ptr(controller)](DZSDKCoreController::ScriptBuilder builder) {
                if (const auto target = weak.lock())
                    target->executeJavaScriptFromBlockWhenReady(std::move(builder), nullptr);
            });
    }
    void TearDown() override {
        EXPECT_TRUE(waitFor([] { return !core::PendingWork::offMainThread(); }));
        DZApplication::setScriptBuilderReceiverForTesting(nullptr);
        clearConfiguration();
        SDKCoreTest::TearDown();
    }
    static void clearConfiguration() {
        DZApplication::resetForTesting();
        core::UserDefaults::standard()->removeObjectForKey(
            DZApplication::kConfigurationDefaultsKey);
    }
    static Value saved(std::string_view key) {
        const Value stored =
            core::UserDefaults::standard()->objectForKey(DZApplication::kConfigurationDefaultsKey);
        const auto configuration =
            stored.isData() ? DZConfiguration::createWithArchive(*stored.data()) : nullptr;
        if (!configuration) return Value();
        return configuration->objectForKeyedSubscript(key).value_or(Value());
    }
};

}  // namespace

TEST_F(DZAppSettingsService, ThePublishersRequestIsFetchedMergedAndSaved) {
    const auto application = DZApplication::sharedInstance();
    const auto configuration = application->configuration();
    application->loadServerSideConfigurationForPublisherApplicationID("pub-app");
    ASSERT_TRUE(waitFor([&] { return saved("refresh") == Value(60); }));

    EXPECT_EQ(logged("DUZO_fetchAppSettings"),
              std::vector<Value>{Value(core::Dictionary{
                  {"app_id", "pub-app"}, {"pn", "app.vantor.gallery"}, {"is_init", true}})});
    const auto fetched = server.requestsTo(fixtures::CorePage::kAppSettingsPath);
    ASSERT_EQ(fetched.size(), 1u);
    EXPECT_EQ(fetched[0].queryValue("app_id"), "pub-app");
    EXPECT_EQ(configuration->objectForKeyedSubscript("refresh"), Value(60));
    EXPECT_EQ(configuration->objectForKeyedSubscript("status"), std::nullopt);
    EXPECT_EQ(configuration->objectForKeyedSubscript(DZApplication::kRefreshedSinceAppStartKey),
              Value(true));
    EXPECT_EQ(configuration->objectForKeyedSubscript(DZApplication::kLastRefreshTimestampKey),
              Value(core::Date{clock->wallSeconds()}));
    EXPECT_EQ(saved("app_id"), Value("pub-app"));
}
