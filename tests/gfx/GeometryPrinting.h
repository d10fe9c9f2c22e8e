#pragma once
// Readable gtest output for the geometry values.

#include <ostream>

#include "gfx/Color.h"
#include "gfx/Geometry.h"

namespace gfx {

inline void PrintTo(const Point& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}

inline void PrintTo(const Size& s, std::ostream* os) {
    *os << "[" << s.width << " x " << s.height << "]";
}

inline void PrintTo(const Rect& r, std::ostream* os) {
    PrintTo(r.origin, os);
    PrintTo(r.size, os);
}

inline void PrintTo(const Color& c, std::ostream* os) {
    *os << "rgba(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha << ")";
}

}  // namespace gfx
