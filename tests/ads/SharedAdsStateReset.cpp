// The SDK's shared objects that go on working after a test ends are let go
// of at its end, so that they neither load nor report into the next one.

#include "AdWebTesting.h"
#include "ads/presentation/interstitial/cache/DZInterstitialCache.h"
#include "store/URLOpener.h"
#include "support/SharedStateReset.h"

namespace {

[[maybe_unused]] const bool registered = [] {
    testsupport::SharedStateReset::addReset([] {
        // The shared interstitial cache (made by the start-up when a test
        // switched pooling on) refills its pools from the test's saved
        // requests, whose server is gone by then. Its entries end on the
        // main thread.
        ads::DZInterstitialCache::setSharedInstanceForTesting(nullptr);
        (void)adwebtesting::drainMainQueue();
        // What ads opened (a tap, a debug link) is no later test's to see.
        store::URLOpener::shared().clearForTesting();
    });
    return true;
}();

}  // namespace
