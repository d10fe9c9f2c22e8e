#pragma once
// The object that makes a mediated ad's network connectors (a banner view,
// an interstitial, an ad loader): an ad's mediation delegate. The connector
// factory joins here with the mediation waterfall; until then a delegate
// only says that its owner can take mediation responses at all.

namespace ads {

class DZAdMediationDelegate {
public:
    virtual ~DZAdMediationDelegate() = default;
};

}  // namespace ads
