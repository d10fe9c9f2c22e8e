#pragma once
// What a search bar asks of and tells the object that follows it: editing
// beginning and ending (as the bar becomes and resigns first responder),
// typed text, and the search (Return) and cancel buttons. Every method is
// optional; the defaults allow editing and do nothing else. Called on the
// main thread.

#include <string>

namespace ui {

class SearchBar;

class SearchBarDelegate {
public:
    virtual ~SearchBarDelegate() = default;

    [[nodiscard]] virtual bool searchBarShouldBeginEditing(SearchBar&) { return true; }
    virtual void searchBarTextDidBeginEditing(SearchBar&) {}
    [[nodiscard]] virtual bool searchBarShouldEndEditing(SearchBar&) { return true; }
    virtual void searchBarTextDidEndEditing(SearchBar&) {}
    // After typing changed the text (not after setText).
    virtual void searchBarTextDidChange(SearchBar&, const std::string& /*text*/) {}
    virtual void searchBarSearchButtonClicked(SearchBar&) {}
    virtual void searchBarCancelButtonClicked(SearchBar&) {}
};

}  // namespace ui
