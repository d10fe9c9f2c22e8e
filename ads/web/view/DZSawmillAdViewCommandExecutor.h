#pragma once
// Runs the sawmill script in a hidden ad web view: a DZAdView with a zero
// frame whose page is the script in a <script> element, loaded with the
// settings' base URL (none: the page has no base URL). The page does its own
// uploads; it is given no network function and no init call, only
// DUZO_Sawmill(<commands as JSON>) for each array of commands.
//
// The executor counts as loaded once the page has finished loading; a page
// that fails first never is, and its commands are dropped. Commands that
// arrive before the page has loaded (a beacon, a log's finish) wait, up to
// kMaximumWaitingCalls arrays, and run in order once it has. An array that
// cannot be written as JSON, even after dz_JSONSafeArray's repairs (nesting
// deeper than the writer goes), is dropped.
//
// Threading: create() on the main thread; isLoaded() and
// asynchronouslyExecuteCommands() from any thread. The loaded state lives
// on the serial queue "com.dozuza.vuraz.sawmill-adview"; the page is
// scripted on the main run loop, one array after the other in the order
// they were handed over from one thread. The last reference may go on any
// thread: the ad view then loses this delegate and is released on the main
// thread.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ads/foundation/DZSawmillCommandExecuting.h"
#include "ads/web/view/DZAdViewDelegateProtocol.h"
#include "core/Queue.h"
#include "core/URL.h"
#include "core/Value.h"

namespace ads {

class DZAdView;

class DZSawmillAdViewCommandExecutor final
    : public DZSawmillCommandExecuting,
      public DZAdViewDelegateProtocol,
      public std::enable_shared_from_this<DZSawmillAdViewCommandExecutor> {
public:
    static constexpr std::string_view kLockQueueLabel = "com.dozuza.vuraz.sawmill-adview";
    static constexpr std::string_view kScriptMarker = "@JAVASCRIPT@";
    static constexpr std::string_view kPageTemplate =
        "<head><script type='text/javascript'>@JAVASCRIPT@</script></head><body></body>";
    static constexpr size_t kMaximumWaitingCalls = 100;

    // nullptr for an empty script, a base URL that is not http(s) (as
    // DZIsAllowedHTMLBaseURL refuses it), or no ad view. Main thread.
    [[nodiscard]] static std::shared_ptr<DZSawmillAdViewCommandExecutor>
    create(const std::string& script, const std::optional<core::URL>& baseURL);
    ~DZSawmillAdViewCommandExecutor() override;
    DZSawmillAdViewCommandExecutor(const DZSawmillAdViewCommandExecutor&) = delete;
    DZSawmillAdViewCommandExecutor& operator=(const DZSawmillAdViewCommandExecutor&) = delete;

    [[nodiscard]] bool isLoaded() const override;
    // Whether the page failed before it had loaded: it never will be.
    [[nodiscard]] bool hasFailedToLoad() const;
    void asynchronouslyExecuteCommands(core::Array commands) override;

    // DZAdViewDelegateProtocol.
    void adViewDidFinishLoad(DZAdView& adView) override;
    void didFailLoadWithError(DZAdView& adView, const Error& error) override;

    // The page text for the script (the marker replaced once, as is).
    [[nodiscard]] static std::string pageForScript(std::string_view script);
    // The script call for the commands; nullopt when they cannot be written.
    [[nodiscard]] static std::optional<std::string> callForCommands(const core::Array& commands);

    [[nodiscard]] const std::shared_ptr<DZAdView>& adView() const { return adView_; }

private:
    explicit DZSawmillAdViewCommandExecutor(std::shared_ptr<DZAdView> adView);
    void load(std::string page, std::optional<core::URL> baseURL);
    // On the lock queue.
    void runInPage(std::string call);

    std::shared_ptr<DZAdView> adView_;
    const std::shared_ptr<core::Queue> lockQueue_;
    // Guarded by lockQueue_.
    bool loaded_ = false;
    bool failed_ = false;
    std::vector<std::string> waitingCalls_;
};

// Lets DZSawmill build this executor for settings that do not ask for the
// JavaScript context. Called when the SDK starts; any thread.
void DZRegisterSawmillAdViewCommandExecutor();

}  // namespace ads
