#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "core/Bundle.h"
#include "core/FileManager.h"
#include "core/StringFormat.h"
#include "core/StringTable.h"

using core::Bundle;
using core::FileManager;
using core::StringTable;

namespace {

const std::vector<std::string> kLanguages = {"en", "zh-Hans"};

const std::vector<std::string> kKeys = {
    // Page titles, feeds, search.
    "explore", "featured", "collection", "setting", "fetch_photos", "fetch_photos_error",
    "please_input_keyword", "searching_photos", "none_search_result",
    // About and settings.
    "version", "description", "unsplash_copyright", "donate", "clean_cache", "clearing_up",
    "cleaned_up", "app_review", "share_to_friends", "unable_iap"};

struct ImageSpec {
    std::string name;
    int points;  // width and height
};

const std::vector<ImageSpec> kImages = {
    {"bg_slice", 100},  {"heart_L", 30},  {"heart_F", 30},  {"back", 30},    {"share_F", 30},
    {"download_L", 30}, {"search_L", 30}, {"qr_code", 300}, {"Icon-60", 60},
};

// The source tree's resources: $VANTOR_SOURCE_DIR/resources under CTest,
// else the folder Bundle::main() would find beside the test binary.
std::string resourcesPath() {
    if (const char* source = std::getenv("VANTOR_SOURCE_DIR"); source && *source) {
        return std::string(source) + "/resources";
    }
    char executable[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", executable, sizeof executable - 1);
    return length > 0 ? Bundle::locateResources(executable) : std::string();
}

std::uint32_t bigEndian32(const std::string& bytes, size_t offset) {
    std::uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[offset + i]);
    return value;
}

class ResourcesBundleTest : public testing::Test {
protected:
    void SetUp() override {
        root_ = resourcesPath();
        bundle_ = Bundle::create(root_);
        ASSERT_TRUE(bundle_) << "no resources folder at '" << root_ << "'";
        for (const auto& language : kLanguages) {
            core::StringTableError error;
            auto table = StringTable::load(tablePath(language), &error);
            ASSERT_TRUE(table) << language << ":" << error.line << ": " << error.message;
            tables_.push_back(std::move(*table));
        }
    }

    [[nodiscard]] std::string tablePath(const std::string& language) const {
        return root_ + "/" + language + ".lproj/Localizable.strings";
    }

    std::string root_;
    std::shared_ptr<Bundle> bundle_;
    std::vector<StringTable> tables_;  // in the order of kLanguages
};

std::set<std::string> keysOf(const StringTable& table) {
    std::set<std::string> keys;
    for (const auto& [key, value] : table.entries()) keys.insert(key);
    return keys;
}

}  // namespace

TEST_F(ResourcesBundleTest, EveryLanguageHasTheSameCompleteKeySet) {
    EXPECT_EQ(bundle_->localizations(), kLanguages);
    const auto english = keysOf(tables_[0]);
    EXPECT_EQ(keysOf(tables_[1]), english);
    EXPECT_EQ(tables_[0].size(), english.size()) << "a key appears twice";
    EXPECT_EQ(tables_[1].size(), english.size()) << "a key appears twice";
    for (size_t i = 0; i < kLanguages.size(); ++i) {
        for (const auto& key : kKeys) {
            const std::string* value = tables_[i].find(key);
            ASSERT_NE(value, nullptr) << kLanguages[i] << " lacks " << key;
            EXPECT_FALSE(value->empty()) << kLanguages[i] << ": " << key;
        }
    }
}

TEST_F(ResourcesBundleTest, ChineseIsTranslatedAndServedForChineseUsers) {
    for (const auto& key : kKeys) {
        ASSERT_TRUE(tables_[0].find(key) && tables_[1].find(key)) << key;
        EXPECT_NE(*tables_[1].find(key), *tables_[0].find(key)) << key << " is not translated";
        EXPECT_EQ(bundle_->localizedString(key, "", "", "zh-Hans"), *tables_[1].find(key));
        EXPECT_EQ(bundle_->localizedString(key, "", "", "en"), *tables_[0].find(key));
    }
}

TEST_F(ResourcesBundleTest, FormattedTextsFitHowTheAppFillsThem) {
    const std::string version =
        bundle_->objectForInfoDictionaryKey("CFBundleShortVersionString").stringValue();
    for (size_t i = 0; i < kLanguages.size(); ++i) {
        // The cache toast shows its text as it stands.
        ASSERT_TRUE(tables_[i].find("cleaned_up")) << kLanguages[i];
        const std::string& cleaned = *tables_[i].find("cleaned_up");
        EXPECT_EQ(cleaned.find('%'), std::string::npos) << kLanguages[i];

        // The about page writes the version number straight after the text.
        ASSERT_TRUE(tables_[i].find("version")) << kLanguages[i];
        const std::string& prefix = *tables_[i].find("version");
        ASSERT_FALSE(prefix.empty()) << kLanguages[i];
        EXPECT_EQ(prefix.back(), ' ') << kLanguages[i] << ": '" << prefix << version << "'";
        EXPECT_EQ(prefix.find('%'), std::string::npos) << kLanguages[i];
    }
}

TEST_F(ResourcesBundleTest, InfoDictionaryDescribesTheApp) {
    const auto& info = bundle_->infoDictionary();
    ASSERT_TRUE(info.isDictionary());
    EXPECT_EQ(bundle_->objectForInfoDictionaryKey("CFBundleShortVersionString").stringValue(),
              "1.0.0");
    EXPECT_EQ(bundle_->objectForInfoDictionaryKey("CFBundleName").stringValue(), "Vantor");
    EXPECT_EQ(bundle_->objectForInfoDictionaryKey("CFBundleIdentifier").stringValue(),
              "app.vantor.gallery");
    EXPECT_TRUE(bundle_->objectForInfoDictionaryKey("LSApplicationQueriesSchemes").isArray());

    // The declared localizations are the tables shipped, and the development
    // region is one of them.
    const core::Array* languages =
        bundle_->objectForInfoDictionaryKey("CFBundleLocalizations").array();
    ASSERT_NE(languages, nullptr);
    std::vector<std::string> declared;
    for (const auto& language : *languages) declared.push_back(language.stringValue());
    EXPECT_EQ(declared, bundle_->localizations());
    const auto region = bundle_->objectForInfoDictionaryKey("CFBundleDevelopmentRegion");
    EXPECT_NE(std::find(declared.begin(), declared.end(), region.stringValue()), declared.end());
}

TEST_F(ResourcesBundleTest, EveryImageShipsAtBothScalesWithItsPixelSize) {
    static constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
    for (const auto& image : kImages) {
        for (const int scale : {2, 3}) {
            const std::string name = image.name + "@" + std::to_string(scale) + "x";
            const auto path = bundle_->pathForResource(name, "png", "images");
            ASSERT_TRUE(path) << name << ".png is missing";
            const auto bytes = FileManager::readFile(*path);
            ASSERT_TRUE(bytes) << bytes.error();
            const std::string& png = bytes.value();
            ASSERT_GE(png.size(), 24u) << name;
            EXPECT_EQ(png.substr(0, 8), std::string(kSignature, 8)) << name;
            EXPECT_EQ(png.substr(12, 4), "IHDR") << name;
            const auto pixels = static_cast<std::uint32_t>(image.points * scale);
            EXPECT_EQ(bigEndian32(png, 16), pixels) << name << " width";
            EXPECT_EQ(bigEndian32(png, 20), pixels) << name << " height";
        }
    }
}
