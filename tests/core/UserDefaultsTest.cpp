#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ScopedEnvironment.h"
#include "ValueTesting.h"
#include "core/Clock.h"
#include "core/Console.h"
#include "core/DefaultsFile.h"
#include "core/FileManager.h"
#include "core/UserDefaults.h"
#include "support/TestEnvironment.h"

using core::Array;
using core::Data;
using core::Date;
using core::DefaultsFile;
using core::Dictionary;
using core::FileManager;
using core::UserDefaults;
using core::Value;
using testsupport::expectIdentical;

namespace {

std::string testFolder() {
    const auto* test = testing::UnitTest::GetInstance()->current_test_info();
    const std::string path = testsupport::testHome() + "/defaults/" + test->name();
    (void)FileManager::removeItem(path);
    EXPECT_TRUE(FileManager::createDirectory(path, true));
    return path;
}

std::optional<Dictionary> readStore(const std::string& path) {
    const auto text = FileManager::readFile(path);
    if (!text) return std::nullopt;
    return DefaultsFile::decode(text.value());
}

// Bounded polling for the background writer.
template <typename Predicate>
bool eventually(Predicate predicate) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

Dictionary everyKind() {
    Dictionary nested;
    nested.set("z", Value(1));
    nested.set("$data", Value("a key that looks like a tag"));
    nested.set("$$", Value(true));
    nested.set("a", Value(Array{Value(), Value(0.5), Value(Data{})}));
    Dictionary lookalike;
    lookalike.set("$uint", Value("5"));

    Dictionary values;
    values.set("text", Value("héllo \"quoted\" / \\ \n\t\x01 你好"));
    values.set("empty text", Value(""));
    values.set("true", Value(true));
    values.set("false", Value(false));
    values.set("one", Value(1));
    values.set("min", Value(std::numeric_limits<long long>::min()));
    values.set("unsigned small", Value(7ull));
    values.set("unsigned max", Value(std::numeric_limits<unsigned long long>::max()));
    values.set("integral double", Value(2.0));
    values.set("negative zero", Value(-0.0));
    values.set("fraction", Value(0.1));
    values.set("tiny", Value(5e-324));
    values.set("huge", Value(1.7976931348623157e308));
    values.set("infinity", Value(-std::numeric_limits<double>::infinity()));
    values.set("nan", Value(std::numeric_limits<double>::quiet_NaN()));
    values.set("data", Value(Data{0, 1, 2, 0xFF, 0, 0x80}));
    values.set("data 1", Value(Data{0xAB}));
    values.set("data 2", Value(Data{0xAB, 0xCD}));
    values.set("empty data", Value(Data{}));
    values.set("date", Value(Date{1700000000.125}));
    values.set("early date", Value(Date{-86400.5}));
    values.set("array", Value(Array{Value(1), Value("two"), Value(Array{}), Value(nested)}));
    values.set("nested", Value(nested));
    values.set("lookalike", Value(lookalike));
    values.set("empty dictionary", Value(Dictionary{}));
    values.set("$uint", Value("a top-level key that looks like a tag"));
    return values;
}

class UserDefaultsTest : public testing::Test {
protected:
    void TearDown() override {
        UserDefaults::resetSharedInstancesForTesting();
        core::Clock::install(nullptr);
    }
};

}  // namespace

TEST_F(UserDefaultsTest, EveryKindSurvivesAReopen) {
    const std::string path = testFolder() + "/kinds.defaults";
    const Dictionary values = everyKind();
    {
        const auto store = UserDefaults::create(path);
        ASSERT_TRUE(store);
        for (const auto& [key, value] : values) store->setObject(key, value);
        ASSERT_TRUE(store->synchronize());
    }
    UserDefaults::resetSharedInstancesForTesting();
    const auto reopened = UserDefaults::create(path);
    expectIdentical(Value(reopened->dictionaryRepresentation()), Value(values), "store");
}

TEST_F(UserDefaultsTest, ChangesReachTheDiskWithoutSynchronize) {
    const std::string path = testFolder() + "/background.defaults";
    const auto store = UserDefaults::create(path);
    for (int i = 0; i < 100; ++i) store->setInteger("counter", i);
    EXPECT_TRUE(eventually([&] {
        const auto saved = readStore(path);
        return saved && (*saved)["counter"] == Value(99);
    }));
    store->removeObjectForKey("counter");
    EXPECT_TRUE(eventually([&] {
        const auto saved = readStore(path);
        return saved && saved->empty();
    }));
}

TEST_F(UserDefaultsTest, AWriterKilledAtAnyMomentLeavesTheOldOrTheNewFile) {
    const std::string folder = testFolder();
    const std::string path = folder + "/crash.defaults";
    const std::string even(300000, 'e');
    const std::string odd(200000, 'o');
    std::mt19937 random(20240607);

    for (int round = 0; round < 50; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const auto store = UserDefaults::create(path);
            for (int i = 0; i < 100000; ++i) {
                store->setString("big", i % 2 ? odd : even);
                store->setData("tail", Data(1000, static_cast<std::uint8_t>(i % 2)));
                if (i % 2) (void)store->synchronize();
            }
            _exit(0);
        }
        if (round == 0) {
            // The very first save may hold "big" alone: wait for both keys.
            EXPECT_TRUE(eventually([&] {
                const auto first = readStore(path);
                return first && (*first)["tail"].isData();
            }));
        } else {
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 8000));
        }
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round;

        const auto saved = readStore(path);
        ASSERT_TRUE(saved) << "round " << round;
        const std::string* big = (*saved)["big"].string();
        ASSERT_TRUE(big && (*big == even || *big == odd)) << "round " << round;
        ASSERT_TRUE((*saved)["tail"].isData()) << "round " << round;
    }

    core::Console::Capture console;
    const auto store = UserDefaults::create(path);
    EXPECT_TRUE(console.lines().empty());
    EXPECT_EQ(FileManager::contentsOfDirectory(folder).value(),
              std::vector<std::string>{"crash.defaults"})
        << "writes cut short leave nothing behind once the store is opened";
    const auto big = store->stringForKey("big");
    EXPECT_TRUE(big == even || big == odd);
}

TEST_F(UserDefaultsTest, AnUnreadableFileIsMovedAsideAndReported) {
    const std::string folder = testFolder();
    const std::string path = folder + "/broken.defaults";
    const std::vector<std::string> broken = {
        "{ not json",
        R"({"format": "vantor-defaults", "version": 1, "values": {"a": {"$nope": "1"}}})",
        R"({"format": "vantor-defaults", "version": 1, "values": {"a": {"$data": "%%"}}})",
        R"({"format": "vantor-defaults", "version": 9, "values": {}})",
        R"({"values": {"a": 1}})",
    };
    core::Clock::install(std::make_shared<core::ManualClock>());
    for (const auto& contents : broken) {
        ASSERT_TRUE(FileManager::writeAtomically(path, contents));
        core::Console::Capture console;
        const auto store = UserDefaults::create(path);
        EXPECT_TRUE(store->dictionaryRepresentation().empty()) << contents;
        EXPECT_TRUE(console.contains(path)) << contents;
        EXPECT_TRUE(console.contains("moved it to")) << contents;
        EXPECT_FALSE(FileManager::fileExists(path)) << contents;
        UserDefaults::resetSharedInstancesForTesting();
    }

    // The wall clock names the files; another one in the same second gets a suffix.
    const std::string stem = path + ".corrupt-20231114T221320Z";
    EXPECT_EQ(FileManager::readFile(stem).value(), broken[0]);
    for (size_t i = 1; i < broken.size(); ++i) {
        EXPECT_EQ(FileManager::readFile(stem + "-" + std::to_string(i + 1)).value(), broken[i]);
    }
}

TEST_F(UserDefaultsTest, AFailedSaveIsReportedAndKeptForTheNextAttempt) {
    const std::string folder = testFolder();
    ASSERT_TRUE(FileManager::writeAtomically(folder + "/blocker", "a file, not a folder"));
    const auto store = UserDefaults::create(folder + "/blocker/store.defaults");
    ASSERT_TRUE(store);
    core::Console::Capture console;
    store->setString("kept", "in memory");
    EXPECT_FALSE(store->synchronize());
    EXPECT_TRUE(console.contains("cannot save"));
    EXPECT_EQ(store->stringForKey("kept"), "in memory");

    ASSERT_TRUE(FileManager::removeItem(folder + "/blocker"));
    EXPECT_TRUE(store->synchronize());
    EXPECT_EQ((*readStore(folder + "/blocker/store.defaults"))["kept"], Value("in memory"));
}

TEST_F(UserDefaultsTest, TypedReadersCoerceLikeThePlatform) {
    const auto store = UserDefaults::create(testFolder() + "/typed.defaults");
    store->setString("number text", "42");
    store->setString("yes", "YES");
    store->setInteger("int", 7);
    store->setDouble("double", 2.5);
    store->setBool("bool", true);
    store->setData("data", Data{1, 2});
    store->setDate("date", Date{12.5});
    store->setObject("array", Value(Array{Value(1)}));
    store->setObject("dictionary", Value(Dictionary{{"k", Value("v")}}));

    EXPECT_EQ(store->integerForKey("number text"), 42);
    EXPECT_EQ(store->doubleForKey("number text"), 42.0);
    EXPECT_TRUE(store->boolForKey("yes"));
    EXPECT_EQ(store->integerForKey("double"), 2);
    EXPECT_EQ(store->stringForKey("int"), "7");
    EXPECT_EQ(store->stringForKey("double"), "2.5");
    EXPECT_EQ(store->stringForKey("bool"), "1");
    EXPECT_EQ(store->stringForKey("data"), std::nullopt);
    EXPECT_EQ(store->stringForKey("array"), std::nullopt);
    EXPECT_EQ(store->dataForKey("data"), (Data{1, 2}));
    EXPECT_EQ(store->dataForKey("number text"), std::nullopt);
    EXPECT_EQ(store->dateForKey("date"), Date{12.5});
    EXPECT_EQ(store->dateForKey("double"), std::nullopt);
    EXPECT_EQ(store->arrayForKey("array"), Array{Value(1)});
    EXPECT_EQ(store->arrayForKey("dictionary"), std::nullopt);
    EXPECT_EQ(store->dictionaryForKey("dictionary")->size(), 1u);
    EXPECT_EQ(store->dictionaryForKey("array"), std::nullopt);

    EXPECT_TRUE(store->objectForKey("absent").isNull());
    EXPECT_EQ(store->integerForKey("absent"), 0);
    EXPECT_FALSE(store->boolForKey("absent"));
    EXPECT_EQ(store->stringForKey("absent"), std::nullopt);
}

TEST_F(UserDefaultsTest, NullRemovesAndKeysKeepTheirFirstPlace) {
    const auto store = UserDefaults::create(testFolder() + "/order.defaults");
    store->setInteger("b", 1);
    store->setInteger("a", 2);
    store->setInteger("c", 3);
    store->setInteger("b", 4);
    store->setObject("a", Value());
    EXPECT_EQ(store->dictionaryRepresentation().keys(), (std::vector<std::string>{"b", "c"}));
    EXPECT_EQ(store->integerForKey("b"), 4);
    store->removeObjectForKey("c");
    store->removeObjectForKey("never there");
    EXPECT_EQ(store->dictionaryRepresentation().keys(), std::vector<std::string>{"b"});
}

TEST_F(UserDefaultsTest, OneSharedInstancePerFile) {
    const std::string folder = testFolder();
    const auto store = UserDefaults::create(folder + "/same.defaults");
    EXPECT_EQ(UserDefaults::create(folder + "/./sub/../same.defaults"), store);
    EXPECT_NE(UserDefaults::create(folder + "/other.defaults"), store);

    const auto suite = UserDefaults::create("ads");
    ASSERT_TRUE(suite);
    EXPECT_EQ(suite->filePath(),
              FileManager::folderPath(core::Folder::Preferences) + "/ads.defaults");
    EXPECT_EQ(UserDefaults::create("ads"), suite);
    EXPECT_EQ(UserDefaults::standard(), UserDefaults::standard());
    EXPECT_NE(UserDefaults::standard(), suite);

    EXPECT_FALSE(UserDefaults::create(""));
    EXPECT_FALSE(UserDefaults::create(".."));
    EXPECT_FALSE(UserDefaults::create(folder));
    EXPECT_FALSE(UserDefaults::create(folder + "/"));
}

TEST_F(UserDefaultsTest, ConcurrentWritersAllLand) {
    const std::string path = testFolder() + "/threads.defaults";
    const auto store = UserDefaults::create(path);
    std::vector<std::thread> threads;
    for (int thread = 0; thread < 8; ++thread) {
        threads.emplace_back([store, thread] {
            for (int i = 0; i < 200; ++i) {
                const std::string key = std::to_string(thread) + "." + std::to_string(i);
                store->setInteger(key, i);
                EXPECT_EQ(store->integerForKey(key), i);
                if (i % 50 == 0) {
                    EXPECT_TRUE(store->synchronize());
                }
            }
        });
    }
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(store->synchronize());
    const auto saved = readStore(path);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->size(), 1600u);
    EXPECT_EQ((*saved)["7.199"], Value(199));
}

TEST_F(UserDefaultsTest, LanguagesComeFromTheLocaleEnvironment) {
    testsupport::ScopedEnvironment environment;
    environment.set("LANGUAGE", "zh_CN.UTF-8:en_US::en_US@euro:C")
        .set("LC_ALL", "fr_FR.UTF-8")
        .set("LC_MESSAGES", "de_DE")
        .set("LANG", "es_ES.UTF-8");
    const auto store = UserDefaults::create(testFolder() + "/languages.defaults");
    const Array expected = {Value("zh-Hans-CN"), Value("en-US"), Value("en")};
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), expected);

    environment.set("LANGUAGE", "");
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("fr-FR")});
    environment.set("LC_ALL", std::nullopt);
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("de-DE")});
    environment.set("LC_MESSAGES", std::nullopt);
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("es-ES")});
    environment.set("LANG", "POSIX");
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("en")});
    environment.set("LANG", std::nullopt);
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("en")});

    store->setObject(std::string(UserDefaults::kLanguagesKey), Value(Array{Value("ja")}));
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("ja")});
    EXPECT_FALSE(store->dictionaryRepresentation().empty());
}

TEST_F(UserDefaultsTest, ChineseLocalesGiveTheTagsOfTheirScript) {
    const std::pair<const char*, const char*> cases[] = {
        {"zh_CN.UTF-8", "zh-Hans-CN"}, {"zh_SG", "zh-Hans-SG"},    {"zh", "zh-Hans"},
        {"zh_TW.Big5", "zh-Hant-TW"},  {"zh_HK.UTF-8", "zh-Hant-HK"}, {"zh_MO", "zh-Hant-MO"},
        {"zh-CN", "zh-Hans-CN"},       {"zh-tw", "zh-Hant-TW"},    {"ZH_cn@pinyin", "zh-Hans-CN"},
        {"zh-Hans", "zh-Hans"},        {"zh-Hans-CN", "zh-Hans-CN"}, {"zh-hant-tw", "zh-Hant-TW"},
        {"zh_Hant_CN", "zh-Hant-CN"},  {"zh-Hans-HK", "zh-Hans-HK"},
        // Other languages keep their region as written.
        {"en_GB.UTF-8", "en-GB"},      {"pt_BR", "pt-BR"},         {"zha", "zha"},
        {"C.UTF-8", "en"},             {"", "en"},
    };
    for (const auto& [locale, tag] : cases) EXPECT_EQ(UserDefaults::languageTag(locale), tag) << locale;

    testsupport::ScopedEnvironment environment;
    environment.set("LANGUAGE", std::nullopt)
        .set("LC_ALL", std::nullopt)
        .set("LC_MESSAGES", std::nullopt)
        .set("LANG", "zh_CN.UTF-8");
    const auto store = UserDefaults::create(testFolder() + "/chinese.defaults");
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), Array{Value("zh-Hans-CN")});
    environment.set("LANGUAGE", "zh_TW:zh");
    const Array both = {Value("zh-Hant-TW"), Value("zh-Hans")};
    EXPECT_EQ(store->arrayForKey(UserDefaults::kLanguagesKey), both);
}

TEST(DefaultsFileFormat, TagLookalikesStayDictionariesAndBadTagsAreRefused) {
    Dictionary values;
    values.set("$date", Value(Dictionary{{"$data", Value("x")}, {"$$y", Value(1)}}));
    const auto encoded = DefaultsFile::encode(values);
    ASSERT_TRUE(encoded);
    const auto decoded = DefaultsFile::decode(*encoded);
    ASSERT_TRUE(decoded);
    expectIdentical(Value(*decoded), Value(values), "values");

    const std::string head = R"({"format": "vantor-defaults", "version": 1, "values": )";
    for (const char* values :
         {R"({"a": {"$uint": "-1"}})", R"({"a": {"$uint": 5}})", R"({"a": {"$double": "1.5x"}})",
          R"({"a": {"$date": ""}})", R"({"a": {"$data": "QQ="}})",
          R"({"a": {"$uint": "1", "b": 2}})", R"({"$a": 1})", R"([])"}) {
        std::string error;
        EXPECT_FALSE(DefaultsFile::decode(head + values + "}", &error)) << values;
        EXPECT_FALSE(error.empty()) << values;
    }
}
