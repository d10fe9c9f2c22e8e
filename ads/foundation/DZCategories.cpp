#include "ads/foundation/DZCategories.h"

#include "ads/foundation/DZHTTPURLResponseAdditions.h"
#include "ads/foundation/DZJSONAdditions.h"

namespace ads {

void DZCategories::linkCategoriesAndClasses() {
    DZHTTPURLResponseAdditions::DZFileLinkAnchor();
    DZJSONAdditions::DZFileLinkAnchor();
}

}  // namespace ads
