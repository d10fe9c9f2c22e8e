#include <gtest/gtest.h>

#include <cstdlib>

#include "app/services/AppConfiguration.h"
#include "app/services/UnsplashService.h"

TEST(AppConfiguration, BundleNamesTheRealServicesAndTheEnvironmentOverrides) {
    unsetenv("VANTOR_PHOTO_API");
    unsetenv("VANTOR_QUOTE_URL");
    const app::AppConfiguration bundled = app::AppConfiguration::fromEnvironment();
    EXPECT_EQ(bundled.photoAPIBase.rfind("https://", 0), 0u);
    EXPECT_EQ(bundled.photoListURL(), bundled.photoAPIBase + "/photos");
    EXPECT_NE(bundled.quoteURL.find("/?c=d"), std::string::npos);

    setenv("VANTOR_PHOTO_API", "http://127.0.0.1:9", 1);
    setenv("VANTOR_QUOTE_URL", "http://127.0.0.1:8/?c=d", 1);
    const app::AppConfiguration local = app::AppConfiguration::fromEnvironment();
    unsetenv("VANTOR_PHOTO_API");
    unsetenv("VANTOR_QUOTE_URL");
    EXPECT_EQ(local.photoListURL(), "http://127.0.0.1:9/photos");
    EXPECT_EQ(local.quoteURL, "http://127.0.0.1:8/?c=d");
    EXPECT_EQ(local.photoWebBase, bundled.photoWebBase);
}

TEST(AppConfiguration, AnAccessTokenFromTheEnvironmentReplacesTheAppsOwn) {
    unsetenv("VANTOR_PHOTO_TOKEN");
    const auto builtIn = app::photoServiceHeaders();
    EXPECT_EQ(builtIn.front().second, std::string("Bearer ") + app::kPhotoServiceAccessToken);

    setenv("VANTOR_PHOTO_TOKEN", "my-own-token", 1);
    const auto own = app::photoServiceHeaders();
    unsetenv("VANTOR_PHOTO_TOKEN");
    EXPECT_EQ(own.front().first, "Authorization");
    EXPECT_EQ(own.front().second, "Bearer my-own-token");
}
