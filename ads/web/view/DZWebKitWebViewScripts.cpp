// DZWebKitWebView: the built-in user scripts.

#include <string>

#include "ads/foundation/DZJavaScriptString.h"
#include "ads/web/view/DZWebKitWebView.h"

namespace ads {

namespace {

constexpr std::string_view kURLPlaceholder = "@MRAID_URL@";

// Runs at document start. A pass replaces every script element whose src
// ends in "mraid.js": in synchronous mode (the first pass and the first
// change seen) by pointing its src at the MRAID URL before the element is
// fetched; later by appending a new script element for the URL to the head
// and removing the old one. After a replacement the watch ends.
constexpr std::string_view kMRAIDScript = R"((function () {
  var mraidURL = @MRAID_URL@;
  var replaced = false;
  var observer = null;
  var firstChange = true;
  function head() {
    var heads = document.getElementsByTagName('head');
    if (heads.length) return heads[0];
    var created = document.createElement('head');
    document.documentElement.insertBefore(created, document.documentElement.firstChild);
    return created;
  }
  function pass(synchronous) {
    if (replaced) return;
    var scripts = Array.prototype.slice.call(document.getElementsByTagName('script'));
    for (var i = 0; i < scripts.length; i++) {
      var script = scripts[i];
      if (!script.src || !/mraid.js$/.test(script.src)) continue;
      if (synchronous) {
        script.src = mraidURL;
      } else {
        var substitute = document.createElement('script');
        substitute.type = 'text/javascript';
        substitute.src = mraidURL;
        head().appendChild(substitute);
        if (script.parentNode) script.parentNode.removeChild(script);
      }
      replaced = true;
    }
    if (replaced && observer) observer.disconnect();
  }
  pass(true);
  if (replaced) return;
  observer = new MutationObserver(function () {
    var synchronous = firstChange;
    firstChange = false;
    pass(synchronous);
  });
  observer.observe(document, {attributes: true, childList: true, subtree: true});
})();)";

// Runs at document end: the page's viewport at scale 1, not zoomable.
constexpr std::string_view kViewportScript = R"((function () {
  var content = 'initial-scale=1,minimum-scale=1,maximum-scale=1,user-scalable=no';
  var meta = document.querySelector('meta[name=viewport]');
  if (meta) {
    meta.setAttribute('content', content);
    return;
  }
  meta = document.createElement('meta');
  meta.setAttribute('name', 'viewport');
  meta.setAttribute('content', content);
  var head = document.getElementsByTagName('head')[0];
  if (!head) {
    head = document.createElement('head');
    document.documentElement.insertBefore(head, document.documentElement.firstChild);
  }
  head.appendChild(meta);
})();)";

}  // namespace

std::string DZWebKitWebView::MRAIDScript(std::string_view MRAIDURL) {
    // The URL goes in as a string literal, so no URL can break the script.
    const std::string literal = DZJavaScriptStringLiteral(MRAIDURL);
    std::string script(kMRAIDScript);
    for (size_t at = script.find(kURLPlaceholder); at != std::string::npos;
         at = script.find(kURLPlaceholder, at + literal.size())) {
        script.replace(at, kURLPlaceholder.size(), literal);
    }
    return script;
}

std::string DZWebKitWebView::viewportScript() {
    return std::string(kViewportScript);
}

}  // namespace ads
