// Speed of core::JSON against nlohmann::json on the same bytes in the same
// run, reading (simdjson plus building core::Value) and writing: a 30-photo
// page of the photo service (what a search answers) and a 1 MB mixed
// document. simdjson's own DOM parse, which core's reading starts with,
// runs too as the limit reading can reach. After the runs it prints how
// many times faster core is than the faster of nlohmann's json and
// ordered_json, and how simdjson's DOM parse alone compares.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <simdjson.h>
#include <random>
#include <string>
#include <vector>

#include "core/JSON.h"

namespace {

using nlohmann::ordered_json;

std::string hexId(std::mt19937& random, size_t length) {
    static const char kDigits[] = "0123456789abcdef";
    std::string id;
    for (size_t i = 0; i < length; ++i) id += kDigits[random() % 16];
    return id;
}

std::string imageURL(const std::string& photo, const char* width) {
    return "https://images.vantor.test/photo-" + photo +
           "?crop=entropy&cs=tinysrgb&fit=max&fm=jpg&q=80&w=" + width;
}

ordered_json userRecord(std::mt19937& random, int index) {
    const std::string id = hexId(random, 11);
    const std::string username = "photographer_" + std::to_string(index);
    const std::string base = "https://api.vantor.test/users/" + username;
    const std::string avatar =
        "https://images.vantor.test/profile-1600000000000-" + hexId(random, 12) + "image";
    ordered_json user;
    user["id"] = id;
    user["username"] = username;
    user["name"] = index % 3 == 0 ? "林小雨 Lin" : "Alex Moreau";
    user["portfolio_url"] = nullptr;
    user["bio"] = index % 2 ? "Landscape and street photographer in Lyon.\nPrints."
                            : "用镜头记录城市与山川之间的光影。";
    user["location"] = index % 2 ? "Lyon, France" : "杭州, 中国";
    user["links"] = {{"self", base},
                     {"html", "https://vantor.test/@" + username},
                     {"photos", base + "/photos"},
                     {"likes", base + "/likes"}};
    user["profile_image"] = {{"small", avatar + "?crop=faces&w=32"},
                             {"medium", avatar + "?crop=faces&w=64"},
                             {"large", avatar + "?crop=faces&w=128"}};
    user["total_likes"] = random() % 5000;
    user["total_photos"] = random() % 900;
    return user;
}

ordered_json photoRecord(std::mt19937& random, int index) {
    const std::string id = hexId(random, 11);
    const std::string photo =
        "1" + std::to_string(600000000000 + random() % 99999999) + "-" + hexId(random, 12);
    const std::string api = "https://api.vantor.test/photos/" + id;
    ordered_json p;
    p["id"] = id;
    p["created_at"] =
        "2024-02-1" + std::to_string(index % 10) + "T08:3" + std::to_string(index % 10) + ":41Z";
    p["updated_at"] =
        "2024-03-2" + std::to_string(index % 10) + "T17:0" + std::to_string(index % 10) + ":12Z";
    p["width"] = 4000 + random() % 2000;
    p["height"] = 3000 + random() % 3000;
    p["color"] = "#" + hexId(random, 6);
    p["blur_hash"] = "LKO2?U%2Tw=w]~RBVZRi};RPxuwH";
    switch (index % 3) {
        case 0:
            p["description"] = nullptr;
            break;
        case 1:
            p["description"] = "夕阳下的雪山与湖泊，远处是连绵的云海。";
            break;
        default:
            p["description"] = "Morning fog over the valley, shot from the ridge.";
            break;
    }
    p["urls"] = {{"raw", imageURL(photo, "")},
                 {"full", imageURL(photo, "4000")},
                 {"regular", imageURL(photo, "1080")},
                 {"small", imageURL(photo, "400")},
                 {"thumb", imageURL(photo, "200")}};
    p["links"] = {{"self", api},
                  {"html", "https://vantor.test/photos/" + id},
                  {"download", "https://vantor.test/photos/" + id + "/download"},
                  {"download_location", api + "/download?ixid=M3w0"}};
    p["likes"] = random() % 3000;
    p["liked_by_user"] = false;
    p["sponsorship"] = nullptr;
    p["user"] = userRecord(random, index);
    p["tags"] = ordered_json::array();
    for (const char* tag : {"mountain", "雪山", "dusk"}) {
        p["tags"].push_back({{"type", "search"}, {"title", tag}});
    }
    return p;
}

std::string photoPage(unsigned seed, int photos) {
    std::mt19937 random(seed);
    ordered_json page = ordered_json::array();
    for (int i = 0; i < photos; ++i) page.push_back(photoRecord(random, i));
    return page.dump();
}

std::string megabyteDocument() {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> real(-1000, 1000);
    ordered_json doc;
    doc["pages"] = ordered_json::array();
    doc["series"] = ordered_json::array();
    doc["notes"] = ordered_json::array();
    unsigned seed = 1;
    while (doc.dump().size() < (1u << 20)) {
        doc["pages"].push_back(ordered_json::parse(photoPage(seed++, 15)));
        ordered_json series;
        series["name"] = "sensor-" + std::to_string(seed);
        series["ids"] = ordered_json::array();
        series["readings"] = ordered_json::array();
        for (int i = 0; i < 400; ++i) {
            series["ids"].push_back(random());
            series["readings"].push_back(real(random));
        }
        series["matrix"] = {{1, 0, 0}, {0, 1, 0}, {0.5, -0.25, 1e-9}};
        doc["series"].push_back(series);
        for (int i = 0; i < 40; ++i) {
            doc["notes"].push_back(
                {{"text", "Line one\nLine \"two\" with a path C:\\photos\\" + std::to_string(i) +
                              " and a URL https://vantor.test/a/b?c=d\tend \u00e9\u58c1"},
                 {"level", i % 5},
                 {"nested", {{"deeper", {{"flag", i % 2 == 0}, {"value", real(random)}}}}}});
        }
    }
    return doc.dump();
}

const std::string& pageText() {
    static const std::string text = photoPage(42, 30);
    return text;
}

const std::string& megabyteText() {
    static const std::string text = megabyteDocument();
    return text;
}

template <const std::string& (*Text)()>
void coreParse(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        auto value = core::JSON::parse(text);
        if (!value) state.SkipWithError("core::JSON::parse failed");
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

template <const std::string& (*Text)(), typename Json>
void nlohmannParse(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        auto value = Json::parse(text);
        benchmark::DoNotOptimize(value);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The DOM parse alone, with its parser and padded copy reused as core's are.
template <const std::string& (*Text)()>
void simdjsonParse(benchmark::State& state) {
    const simdjson::padded_string text(Text());
    simdjson::dom::parser parser;
    for (auto _ : state) {
        auto document = parser.parse(text);
        if (document.error()) state.SkipWithError("simdjson failed");
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

template <const std::string& (*Text)()>
void coreWrite(benchmark::State& state) {
    const core::Value value = *core::JSON::parse(Text());
    size_t bytes = 0;
    for (auto _ : state) {
        auto text = core::JSON::write(value);
        if (!text) state.SkipWithError("core::JSON::write failed");
        bytes = text->size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

template <const std::string& (*Text)(), typename Json>
void nlohmannWrite(benchmark::State& state) {
    const Json value = Json::parse(Text());
    size_t bytes = 0;
    for (auto _ : state) {
        auto text = value.dump();
        bytes = text.size();
        benchmark::DoNotOptimize(text);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

BENCHMARK(coreParse<pageText>)->Name("parse/page/core");
BENCHMARK(nlohmannParse<pageText, nlohmann::json>)->Name("parse/page/nlohmann");
BENCHMARK(nlohmannParse<pageText, ordered_json>)->Name("parse/page/nlohmann_ordered");
BENCHMARK(simdjsonParse<pageText>)->Name("parse/page/simdjson");
BENCHMARK(coreWrite<pageText>)->Name("write/page/core");
BENCHMARK(nlohmannWrite<pageText, nlohmann::json>)->Name("write/page/nlohmann");
BENCHMARK(nlohmannWrite<pageText, ordered_json>)->Name("write/page/nlohmann_ordered");
BENCHMARK(coreParse<megabyteText>)->Name("parse/1MB/core");
BENCHMARK(nlohmannParse<megabyteText, nlohmann::json>)->Name("parse/1MB/nlohmann");
BENCHMARK(nlohmannParse<megabyteText, ordered_json>)->Name("parse/1MB/nlohmann_ordered");
BENCHMARK(simdjsonParse<megabyteText>)->Name("parse/1MB/simdjson");
BENCHMARK(coreWrite<megabyteText>)->Name("write/1MB/core");
BENCHMARK(nlohmannWrite<megabyteText, nlohmann::json>)->Name("write/1MB/nlohmann");
BENCHMARK(nlohmannWrite<megabyteText, ordered_json>)->Name("write/1MB/nlohmann_ordered");

// Console output as usual, plus the time per iteration of every run, so that
// main can print the ratios at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            // CPU time: other work on the machine stretches wall time
            // unevenly between the runs compared.
            if (!run.error_occurred && run.run_type == Run::RT_Iteration) {
                times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void printRatios() const {
        for (const char* doc : {"page", "1MB"}) {
            for (const char* work : {"parse", "write"}) {
                const std::string prefix = std::string(work) + "/" + doc + "/";
                // Against the faster of nlohmann's two object kinds.
                const auto core = times_.find(prefix + "core");
                auto theirs = times_.find(prefix + "nlohmann");
                const auto ordered = times_.find(prefix + "nlohmann_ordered");
                if (theirs == times_.end() ||
                    (ordered != times_.end() && ordered->second < theirs->second))
                    theirs = ordered;
                if (core == times_.end() || theirs == times_.end()) continue;
                std::printf("%s %s: core is %.2fx nlohmann's speed (goal: %s)", work, doc,
                            theirs->second / core->second,
                            std::string(work) == "parse" ? "5x" : "3x");
                if (const auto limit = times_.find(prefix + "simdjson"); limit != times_.end()) {
                    std::printf("; simdjson's DOM alone is %.2fx, %.0f%% of core's time",
                                theirs->second / limit->second,
                                100 * limit->second / core->second);
                }
                std::printf("\n");
            }
        }
    }

private:
    std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::printf("documents: page %zu bytes, 1MB %zu bytes\n", pageText().size(),
                megabyteText().size());
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    benchmark::Shutdown();
    return 0;
}
