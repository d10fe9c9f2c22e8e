#pragma once
// The one place that names every SDK file of categories (helper functions
// that extend a platform type). Each such file defines an empty
// DZFileLinkAnchor() in a namespace named after the file, and
// linkCategoriesAndClasses() calls them all, so a static link that keeps
// this class keeps each of those files too. Nothing needs to call it: a
// reference to the class is enough. Add the anchor of every new file of
// categories here.

namespace ads {

class DZCategories {
public:
    static void linkCategoriesAndClasses();
};

}  // namespace ads
