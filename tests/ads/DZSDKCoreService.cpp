// The SDK core page served by the local ad server over HTTPS: load states,
// pages loading side by side, the load's deadline, the command queue and its
// answers, time-outs on the manual clock, the load policy, saved state and
// constants after a load.

#include <algorithm>
#include <thread>

#include "SDKCoreTesting.h"
#include "ads/web/intercept/DZMRAIDInterceptor.h"
#include "ads/web/view/DZWebView.h"
#include "core/Queue.h"
#include "fixtures/MRAIDScript.h"
#include "support/RoundBudget.h"

namespace {

using namespace sdkcoretesting;
using ads::DZSDKCoreWebView;

class DZSDKCoreService : public SDKCoreTest {
protected:
    // Moves the clock from another thread in the middle of a pass of the
    // main loop: the tasks queued after this one run at the new time before
    // the timers it made due fire (in the next pass), as when the system
    // clock crosses a deadline while the main thread is busy.
    void advanceWithinAPass(double seconds) {
        core::Queue::main()->async(
            [this, seconds] { std::thread([&] { clock.advance(seconds); }).join(); });
    }
};

TEST_F(DZSDKCoreService, APageAnsweringAnErrorIsAFailedLoad) {
    struct Case {
        int status;
        DZSDKCoreWebView::State state;
    };
    for (const Case c : {Case{200, DZSDKCoreWebView::kLoaded}, Case{404, DZSDKCoreWebView::kFailed},
                         Case{500, DZSDKCoreWebView::kFailed}}) {
        SCOPED_TRACE(c.status);
        fixtures::CorePageOptions options;
        options.status = c.status;
        server.setCorePage(options);
        server.clearLog();
        makeController();
        const auto requester = std::make_shared<RecordingRequester>();
        controller->buildAdURL(requester);
        ASSERT_TRUE(waitFor([&] { return !requester->events.empty(); }));
        EXPECT_EQ(page().state(), c.state);
        EXPECT_EQ(page().hasSDKCoreLoadedAtLeastOnce(), c.status == 200);
        // An error page is loaded once more for the request waiting.
        EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), c.status == 200 ? 1u : 2u);
        if (c.status == 200) {
            EXPECT_EQ(requester->events[0].rfind("url ", 0), 0u);
        } else {
            EXPECT_EQ(requester->events, std::vector<std::string>{"failed"});
        }
    }
}

// Pages loading at once share a web process, where the engine may ask again
// for a load it already had, or drop one of two navigations, most often in
// a process just started: none may be left loading for good. Each round
// ends the shared process, so that the next starts a new one.
TEST_F(DZSDKCoreService, PagesLoadingAtOnceAllLoadRoundAfterRound) {
    // 50 rounds take 70 s alone; on a busy machine fewer run.
    testsupport::RoundBudget rounds(10, 50, 120);
    while (rounds.next()) {
        for (const size_t count : {size_t{2}, size_t{4}}) {
            SCOPED_TRACE("round " + std::to_string(rounds.round()) + ", " + std::to_string(count) +
                         " pages");
            std::vector<std::shared_ptr<DZSDKCoreWebView>> pages;
            std::vector<std::shared_ptr<CountingObserver>> observers;
            for (size_t i = 0; i < count; ++i) {
                pages.push_back(DZSDKCoreWebView::create());
                ASSERT_TRUE(pages.back());
                observers.push_back(std::make_shared<CountingObserver>());
            }
            for (size_t i = 0; i < count; ++i) pages[i]->refreshSDKCoreAndNotifyObserver(observers[i]);
            const auto allHeard = [&] {
                return std::all_of(observers.begin(), observers.end(),
                                   [](const auto& observer) { return observer->count > 0; });
            };
            ASSERT_TRUE(waitFor(allHeard));
            // A load the engine still held at its deadline failed; the next
            // refresh loads it (a load wedged for good would not end at all,
            // or stay under way through the refresh).
            for (size_t i = 0; i < count; ++i) {
                if (pages[i]->state() != DZSDKCoreWebView::kFailed) continue;
                observers[i]->count = 0;
                pages[i]->refreshSDKCoreAndNotifyObserver(observers[i]);
            }
            ASSERT_TRUE(waitFor(allHeard));
            for (const auto& page : pages) ASSERT_EQ(page->state(), DZSDKCoreWebView::kLoaded);
            pages.front()->adView()->webView()->terminateWebProcess();
        }
    }
}

TEST_F(DZSDKCoreService, APageHeldPastItsDeadlineIsLoadedOnceMoreForWhatWaitsThenFails) {
    const auto gate = fixtures::ResponseGate::make();
    const auto held = [&] {
        return fixtures::LoopbackResponse::text("<html></html>", 200, "text/html").heldBy(gate);
    };
    server.script(fixtures::CorePage::kPath, {held()});
    EXPECT_EQ(DZSDKCoreWebView::create()->loadTimeout(), 10.0);
    makeController();
    page().setLoadTimeout(3);
    const auto waiting = std::make_shared<RecordingRequester>();
    controller->buildAdURL(waiting);
    ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
    clock.advance(2.9);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(waiting->events.empty());
    EXPECT_NE(page().state(), DZSDKCoreWebView::kFailed);

    // Past the deadline the load is stopped, and the request waiting for it
    // gets one more load, which is answered.
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !waiting->events.empty(); }));
    EXPECT_EQ(waiting->events[0].rfind("url ", 0), 0u) << waiting->events[0];
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 2u);
    // The held answer coming late changes nothing.
    gate->release();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);

    // A page held past the deadline of both loads fails what waits, once;
    // the next request loads it anew and is answered.
    const auto second = fixtures::ResponseGate::make();
    const auto heldAgain = [&] {
        return fixtures::LoopbackResponse::text("<html></html>", 200, "text/html").heldBy(second);
    };
    server.clearLog();
    server.script(fixtures::CorePage::kPath, {heldAgain(), heldAgain()});
    makeController();
    page().setLoadTimeout(3);
    const auto failing = std::make_shared<RecordingRequester>();
    controller->buildAdURL(failing);
    ASSERT_TRUE(waitFor([&] { return second->heldCount() == 1; }));
    clock.advance(3.1);
    ASSERT_TRUE(waitFor([&] { return second->heldCount() == 2; }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(failing->events.empty()) << "failed before its second load";
    clock.advance(3.1);
    ASSERT_TRUE(waitFor([&] { return !failing->events.empty(); }));
    EXPECT_EQ(failing->events, std::vector<std::string>{"failed"});
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kFailed);
    EXPECT_FALSE(page().hasSDKCoreLoadedAtLeastOnce());
    const auto retried = std::make_shared<RecordingRequester>();
    controller->buildAdURL(retried);
    ASSERT_TRUE(waitFor([&] { return !retried->events.empty(); }));
    EXPECT_EQ(retried->events[0].rfind("url ", 0), 0u);
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 3u);
    second->release();
}

TEST_F(DZSDKCoreService, APageWhoseWebProcessEndedIsLoadedAnewForTheNextRequest) {
    makeController();
    const auto first = std::make_shared<RecordingRequester>();
    controller->buildAdURL(first);
    ASSERT_TRUE(waitFor([&] { return !first->events.empty(); }));
    ASSERT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    const size_t loads = server.requestsTo(fixtures::CorePage::kPath).size();

    page().adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return page().state() == DZSDKCoreWebView::kFailed; }));
    const auto next = std::make_shared<RecordingRequester>();
    controller->buildAdURL(next);
    ASSERT_TRUE(waitFor([&] { return !next->events.empty(); }));
    EXPECT_EQ(next->events[0].rfind("url ", 0), 0u) << next->events[0];
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), loads + 1);
}

TEST_F(DZSDKCoreService, EveryTransientFailureOfTheProcessGetsItsOneMoreLoad) {
    const auto failing = [] {
        return fixtures::LoopbackResponse::text("unavailable", 503, "text/plain");
    };
    server.script(fixtures::CorePage::kPath, {failing()});
    makeController();
    const auto first = std::make_shared<RecordingRequester>();
    controller->buildAdURL(first);
    ASSERT_TRUE(waitFor([&] { return !first->events.empty(); }));
    EXPECT_EQ(first->events[0].rfind("url ", 0), 0u) << first->events[0];
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 2u);

    // Later in the same process the page is lost and its next load fails
    // for the moment too: that failure gets its one more load as well.
    server.clearLog();
    server.script(fixtures::CorePage::kPath, {failing()});
    page().adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return page().state() == DZSDKCoreWebView::kFailed; }));
    const auto second = std::make_shared<RecordingRequester>();
    controller->buildAdURL(second);
    ASSERT_TRUE(waitFor([&] { return !second->events.empty(); }));
    EXPECT_EQ(second->events[0].rfind("url ", 0), 0u) << second->events[0];
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 2u);

    // Two failures in a row still fail what waits, once.
    server.clearLog();
    server.script(fixtures::CorePage::kPath, {failing(), failing()});
    page().adView()->webView()->terminateWebProcess();
    ASSERT_TRUE(waitFor([&] { return page().state() == DZSDKCoreWebView::kFailed; }));
    const auto third = std::make_shared<RecordingRequester>();
    controller->buildAdURL(third);
    ASSERT_TRUE(waitFor([&] { return !third->events.empty(); }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(third->events, std::vector<std::string>{"failed"});
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 2u);
}

TEST_F(DZSDKCoreService, ARefreshAtOrPastTheDeadlineLoadsAnewForTheWaitingRequest) {
    struct Case {
        const char* name;
        double timeout;
        double shortenedTo;  // 0: the time-out stays
        double advance;
    };
    for (const Case c : {Case{"at the deadline", 2.9, 0, 2.9},
                         Case{"at a deadline shortened during the load", 60, 2.9, 2.9},
                         Case{"past a deadline shortened during the load", 60, 2.9, 5}}) {
        SCOPED_TRACE(c.name);
        const auto gate = fixtures::ResponseGate::make();
        server.script(
            fixtures::CorePage::kPath,
            {fixtures::LoopbackResponse::text("<html></html>", 200, "text/html").heldBy(gate)});
        makeController();
        page().setLoadTimeout(c.timeout);
        const size_t fetched = server.requestsTo(fixtures::CorePage::kPath).size();
        const auto waiting = std::make_shared<RecordingRequester>();
        controller->buildAdURL(waiting);
        ASSERT_TRUE(waitFor([&] { return gate->heldCount() == 1; }));
        if (c.shortenedTo != 0) page().setLoadTimeout(c.shortenedTo);

        advanceWithinAPass(c.advance);
        controller->refreshActiveWebViewSDKCore();
        ASSERT_TRUE(waitFor([&] { return !waiting->events.empty(); }));
        EXPECT_EQ(waiting->events[0].rfind("url ", 0), 0u) << waiting->events[0];
        EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
        EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), fetched + 2);
        gate->release();
        ASSERT_TRUE(adwebtesting::drainMainQueue());
        EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    }
}

TEST_F(DZSDKCoreService, ARefreshDuringALoadStartsNoSecondLoadAndEarlyMessagesAreDropped) {
    fixtures::CorePageOptions options;
    options.messageBeforeLoadEnds = true;
    options.saveStateAtLoad = true;
    server.setCorePage(options);
    makeController();
    const auto observer = std::make_shared<CountingObserver>();
    controller->refreshActiveWebViewSDKCore();
    page().refreshSDKCoreAndNotifyObserver(observer);
    ASSERT_TRUE(waitFor([&] { return observer->count > 0; }));
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
    // The message sent at load arrived; the one sent while parsing did not.
    ASSERT_TRUE(waitFor([&] {
        return core::UserDefaults::standard()
            ->dictionaryForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey)
            .has_value();
    }));
    const auto saved = *core::UserDefaults::standard()->dictionaryForKey(
        ads::DZSDKCoreDMSGHandler::kSavedStateKey);
    EXPECT_EQ(saved, (core::Dictionary{{"version", 1}, {"k", "saved"}}));
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(observer->count, 1);

    // Added once loaded, an observer hears at once, once.
    const auto late = std::make_shared<CountingObserver>();
    page().addObserverForOneTimeNotification(late);
    ASSERT_TRUE(waitFor([&] { return late->count == 1; }));
    page().notifyAllObserversOnlyOnceThatSDKCoreRequestIsFinished();
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_EQ(late->count, 1);
}

TEST_F(DZSDKCoreService, CommandsWaitForThePageAtMostFiftyAndNoneQueuedWhileFailed) {
    fixtures::CorePageOptions options;
    options.status = 404;
    server.setCorePage(options);
    makeController();
    for (int i = 1; i <= 51; ++i)
        page().enqueueJavaScriptCommand("(window.ran = window.ran || []).push(" +
                                        std::to_string(i) + ");");
    page().refreshSDKCoreAndNotifyObserver(nullptr);
    ASSERT_TRUE(waitForState(DZSDKCoreWebView::kFailed));
    page().enqueueJavaScriptCommand("window.lost = true;");

    server.setCorePage({});
    page().refreshSDKCoreAndNotifyObserver(nullptr);
    ASSERT_TRUE(waitForState(DZSDKCoreWebView::kLoaded));
    page().enqueueJavaScriptCommand("window.ran.push('after');");
    core::Value ran;
    ASSERT_TRUE(waitFor([&] {
        ran = evaluate("window.ran ? window.ran : []");
        return ran.size() == 51;
    }));
    EXPECT_EQ(ran[0], core::Value(2));  // the first was pushed out
    EXPECT_EQ(ran[49], core::Value(51));
    EXPECT_EQ(ran[50], core::Value("after"));
    EXPECT_EQ(evaluate("window.lost === undefined"), core::Value(true));
}

TEST_F(DZSDKCoreService, TheFirstCommandLoadsThePageAndIdentifiersAreSharedByEveryKind) {
    makeController();
    Outcomes first;
    Outcomes second;
    const auto requester = std::make_shared<RecordingRequester>();
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Dictionary{{"n", 1}},
                                                 first.completion());
    controller->buildAdURL(requester);
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Dictionary{{"n", 3}},
                                                 second.completion());
    ASSERT_TRUE(waitFor([&] { return !first.results.empty() && !second.results.empty(); }));
    EXPECT_EQ(first.results[0], core::JSON::parse(R"({"echo":{"n":1}})"));
    EXPECT_FALSE(first.errors[0]);
    EXPECT_EQ(second.results[0], core::JSON::parse(R"({"echo":{"n":3}})"));
    // Commands take theirs when called, ad URL requests when sent.
    EXPECT_EQ(requester->requestID, "3");
    const auto commands = logged("DUZO_GCache", 2);
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0]["request_id"], core::Value("1"));
    EXPECT_EQ(commands[1]["request_id"], core::Value("2"));
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);
    // Loaded and fresh: another command does not reload.
    Outcomes third;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", std::nullopt, third.completion());
    ASSERT_TRUE(waitFor([&] { return !third.results.empty(); }));
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);
}

TEST_F(DZSDKCoreService, ResultAnswers) {
    using Answer = fixtures::CorePageOptions::ResultAnswer;
    struct Case {
        Answer answer;
        std::optional<core::Value> result;
        std::optional<long> code;
    };
    const Case cases[] = {
        {Answer::failZero, core::JSON::parse(R"({"echo":"x"})"), std::nullopt},
        {Answer::failOne, core::Value(), ads::kDZErrorInternalError},
        {Answer::notJSON, core::Value(), 0},  // the reader's error
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        fixtures::CorePageOptions options;
        options.resultAnswer = c.answer;
        server.setCorePage(options);
        makeController();
        Outcomes outcomes;
        controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("x"),
                                                     outcomes.completion());
        ASSERT_TRUE(waitFor([&] { return !outcomes.results.empty(); }));
        EXPECT_EQ(outcomes.results[0], *c.result);
        ASSERT_EQ(outcomes.errors[0].has_value(), c.code.has_value());
        if (c.answer == Answer::failOne) {
            EXPECT_EQ(outcomes.errors[0]->code, *c.code);
            EXPECT_EQ(outcomes.errors[0]->message, "page failed");
        } else if (c.answer == Answer::notJSON) {
            EXPECT_EQ(outcomes.errors[0]->domain, "core.JSON");
        }
    }
}

TEST_F(DZSDKCoreService, AnUnansweredCommandTimesOutOnTheClockAndALateAnswerIsIgnored) {
    fixtures::CorePageOptions options;
    options.resultAnswer = fixtures::CorePageOptions::ResultAnswer::silent;
    server.setCorePage(options);
    makeController();
    Outcomes outcomes;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("x"),
                                                 outcomes.completion());
    ASSERT_EQ(logged("DUZO_GCache").size(), 1u);
    clock.advance(9.9);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(outcomes.errors.empty());
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !outcomes.errors.empty(); }));
    ASSERT_TRUE(outcomes.errors[0]);
    EXPECT_EQ(outcomes.errors[0]->code, ads::kDZErrorTimeout);
    EXPECT_EQ(outcomes.errors[0]->message, "Completion block execution timed out.");

    sendFromPage("result", {{"request_id", "1"}, {"result", "{}"}});
    sendFromPage("saveState", {{"key", "marker"}, {"state", "1"}});
    ASSERT_TRUE(waitFor([&] {
        return core::UserDefaults::standard()
            ->dictionaryForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey)
            .has_value();
    }));
    EXPECT_EQ(outcomes.errors.size(), 1u);
}

TEST_F(DZSDKCoreService, ARefreshEndsSentCommandsAndKeepsWaitingOnes) {
    fixtures::CorePageOptions options;
    options.resultAnswer = fixtures::CorePageOptions::ResultAnswer::silent;
    server.setCorePage(options);
    makeController();
    Outcomes sent;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("sent"),
                                                 sent.completion());
    ASSERT_EQ(logged("DUZO_GCache").size(), 1u);

    Outcomes waiting;
    controller->refreshActiveWebViewSDKCore();
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("waiting"),
                                                 waiting.completion());
    ASSERT_TRUE(waitFor([&] { return !sent.errors.empty(); }));
    ASSERT_TRUE(sent.errors[0]);
    EXPECT_EQ(sent.errors[0]->code, ads::kDZErrorInternalError);
    EXPECT_EQ(sent.errors[0]->message, "SDKCore refreshed. All pending blocks are cancelled.");
    ASSERT_TRUE(waitFor([&] { return server.requestsTo(fixtures::CorePage::kPath).size() == 2; }));
    ASSERT_TRUE(waitForState(DZSDKCoreWebView::kLoaded));
    const auto commands = logged("DUZO_GCache");
    ASSERT_EQ(commands.size(), 1u);  // the new page's log
    EXPECT_EQ(commands[0]["args"], core::Value("waiting"));
    EXPECT_TRUE(waiting.errors.empty());
}

TEST_F(DZSDKCoreService, APauseHoldsTheHourlyReloadUntilResumed) {
    fixtures::CorePageOptions options;
    options.pauseAtLoad = true;
    server.setCorePage(options);
    makeController();
    ASSERT_TRUE(loadPage());
    ASSERT_TRUE(waitFor([&] { return controller->refreshPaused(); }));

    clock.advance(3601);
    Outcomes held;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("held"),
                                                 held.completion());
    ASSERT_TRUE(waitFor([&] { return !held.results.empty(); }));
    EXPECT_EQ(server.requestsTo(fixtures::CorePage::kPath).size(), 1u);

    sendFromPage("sdkCoreRefresh", {{"refresh", "resume"}, {"request_id", "1"}});
    ASSERT_TRUE(waitFor([&] { return server.requestsTo(fixtures::CorePage::kPath).size() == 2; }));
}

TEST_F(DZSDKCoreService, SavedStateIsReplayedAfterEachLoadFirstAsNoRefresh) {
    fixtures::CorePageOptions options;
    options.saveStateAtLoad = true;
    server.setCorePage(options);
    makeController();
    ASSERT_TRUE(loadPage());
    EXPECT_TRUE(logged("DUZO_reloadSavedState", 0).empty());  // nothing saved yet
    ASSERT_TRUE(waitFor([&] {
        return core::UserDefaults::standard()
            ->dictionaryForKey(ads::DZSDKCoreDMSGHandler::kSavedStateKey)
            .has_value();
    }));

    // A new process: the first replay says 0, the next 1.
    makeController();
    ASSERT_TRUE(loadPage());
    auto replays = logged("DUZO_reloadSavedState");
    ASSERT_EQ(replays.size(), 1u);
    EXPECT_EQ(replays[0]["is_refresh"], core::Value(0));
    EXPECT_EQ(replays[0]["k"], core::Value("saved"));
    EXPECT_EQ(replays[0]["version"], core::Value(1));
    ASSERT_TRUE(loadPage());
    replays = logged("DUZO_reloadSavedState");
    ASSERT_EQ(replays.size(), 1u);
    EXPECT_EQ(replays[0]["is_refresh"], core::Value(1));
    // Each load asked for the constants, with the request's parameters.
    const auto asked = logged("DUZO_getSdkConstants");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].dictionary());
}

TEST_F(DZSDKCoreService, ThePagesConstantsAreStoredAfterALoad) {
    fixtures::CorePageOptions options;
    options.constants.set("wv_class", "wk");
    server.setCorePage(options);
    makeController();
    ASSERT_TRUE(loadPage());
    const auto defaults = core::UserDefaults::standard();
    EXPECT_EQ(defaults->stringForKey("/dozuza/ads/wv_class"), "wk");
    EXPECT_EQ(defaults->stringForKey("/dozuza/ads/as_domains"), "127.0.0.1,localhost");
    EXPECT_EQ(ads::DZMRAIDInterceptor::sharedInstance()->bannerImplementationURLString(),
              server.secureBaseURL() + fixtures::MRAIDScript::kBannerPath);
    for (const char* name :
         {"wv_class", "as_domains", "url_time_to_live", "maximum_retry_url_count", "ping_interval",
          "enable_http_web_view_pings"})
        defaults->removeObjectForKey(std::string("/dozuza/ads/") + name);
}

}  // namespace

namespace {

TEST_F(DZSDKCoreService, TheServersAnswerTimeLimitDrivesCommandsAndAdURLRequests) {
    fixtures::CorePageOptions options;
    options.resultAnswer = fixtures::CorePageOptions::ResultAnswer::silent;
    options.adAnswer = fixtures::CorePageOptions::AdAnswer::silent;
    options.constants = {{"dz:javascript_completion_timeout", "3"}};
    server.setCorePage(options);
    makeController();
    ASSERT_TRUE(loadPage());
    EXPECT_EQ(controller->SDKCoreJavaScriptCompletionBlockTimeoutInterval(), 3.0);

    Outcomes outcomes;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("x"),
                                                 outcomes.completion());
    const auto requester = std::make_shared<RecordingRequester>();
    controller->buildAdURL(requester);
    ASSERT_EQ(logged("DUZO_GCache").size(), 1u);
    ASSERT_EQ(logged("DUZO_getAd").size(), 1u);
    clock.advance(2.9);
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    EXPECT_TRUE(outcomes.errors.empty()) << "not before the limit";
    EXPECT_TRUE(requester->events.empty());
    clock.advance(0.2);
    ASSERT_TRUE(waitFor([&] { return !outcomes.errors.empty() && !requester->events.empty(); }));
    ASSERT_TRUE(outcomes.errors[0]);
    EXPECT_EQ(outcomes.errors[0]->code, ads::kDZErrorTimeout);
    EXPECT_EQ(requester->events, std::vector<std::string>{"timeout 5"});
}

TEST_F(DZSDKCoreService, AWebViewThatCannotBeMadeFailsWhatWaitsAndIsTriedAgain) {
    const auto attempts = std::make_shared<int>(0);
    const auto refuse = std::make_shared<bool>(true);
    controller = ads::DZSDKCoreController::create(
        [attempts, refuse](const ads::DZWebViewConfiguration& configuration)
            -> std::shared_ptr<ads::DZSDKCoreWebView> {
            ++*attempts;
            if (*refuse) return nullptr;
            return ads::DZSDKCoreWebView::create(configuration);
        });
    EXPECT_FALSE(controller->activeSDKCoreWebView());

    // Every entry point copes; what waits fails, on the main queue.
    Outcomes outcomes;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("x"),
                                                 outcomes.completion());
    const auto requester = std::make_shared<RecordingRequester>();
    controller->buildAdURL(requester);
    controller->refreshActiveWebViewSDKCore();
    controller->attemptToRefreshActiveWebViewSDKCore();
    controller->postJavaScriptNotification("n", std::nullopt);
    ASSERT_TRUE(waitFor([&] { return !outcomes.errors.empty() && !requester->events.empty(); }));
    ASSERT_TRUE(adwebtesting::drainMainQueue());
    ASSERT_EQ(outcomes.errors.size(), 1u);
    ASSERT_TRUE(outcomes.errors[0]);
    EXPECT_EQ(outcomes.errors[0]->code, ads::kDZErrorInternalError);
    EXPECT_EQ(requester->events, std::vector<std::string>{"failed"});
    EXPECT_GE(*attempts, 2) << "each command tries again";
    EXPECT_TRUE(server.requestsTo(fixtures::CorePage::kPath).empty());

    // The next command makes the web view, loads the page and is answered.
    *refuse = false;
    Outcomes later;
    controller->executeExportedJavaScriptCommand("DUZO_GCache", core::Value("y"),
                                                 later.completion());
    ASSERT_TRUE(waitFor([&] { return !later.results.empty(); }));
    EXPECT_FALSE(later.errors[0]);
    ASSERT_TRUE(controller->activeSDKCoreWebView());
    EXPECT_EQ(page().state(), DZSDKCoreWebView::kLoaded);
}

}  // namespace
