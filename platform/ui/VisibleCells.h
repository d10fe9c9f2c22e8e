#pragma once
// The cells a list view shows, by index path, and the queries collection
// and table views answer from them.

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "ui/IndexPath.h"

namespace ui {

template <typename Cell>
class VisibleCells {
public:
    using Map = std::map<IndexPath, std::shared_ptr<Cell>>;

    [[nodiscard]] static std::shared_ptr<Cell> at(const Map& shown, const IndexPath& indexPath) {
        const auto found = shown.find(indexPath);
        return found == shown.end() ? nullptr : found->second;
    }
    [[nodiscard]] static std::vector<std::shared_ptr<Cell>> cells(const Map& shown) {
        std::vector<std::shared_ptr<Cell>> cells;
        cells.reserve(shown.size());
        for (const auto& [indexPath, cell] : shown) cells.push_back(cell);
        return cells;
    }
    [[nodiscard]] static std::vector<IndexPath> indexPaths(const Map& shown) {
        std::vector<IndexPath> indexPaths;
        indexPaths.reserve(shown.size());
        for (const auto& [indexPath, cell] : shown) indexPaths.push_back(indexPath);
        return indexPaths;
    }
    [[nodiscard]] static std::optional<IndexPath> indexPathOf(const Map& shown, const Cell& cell) {
        for (const auto& [indexPath, candidate] : shown)
            if (candidate.get() == &cell) return indexPath;
        return std::nullopt;
    }
};

}  // namespace ui
