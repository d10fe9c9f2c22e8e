#pragma once
// The cells a list view keeps for reuse, by reuse identifier, and the
// factories registered for each identifier. Taking a cell answers one put
// back earlier (after its prepareForReuse) or a new one from the factory.
// Main thread only, like the list views that own it.

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace ui {

template <typename Cell>
class CellReusePool {
public:
    using Factory = std::function<std::shared_ptr<Cell>()>;

    // A later registration replaces the factory; kept cells stay.
    void registerFactory(const std::string& identifier, Factory factory) {
        factories_[identifier] = std::move(factory);
    }
    [[nodiscard]] bool isRegistered(const std::string& identifier) const {
        return factories_.contains(identifier);
    }

    // nullptr when nothing is kept and no factory is registered.
    [[nodiscard]] std::shared_ptr<Cell> take(const std::string& identifier) {
        if (auto kept = pool_.find(identifier); kept != pool_.end() && !kept->second.empty()) {
            auto cell = std::move(kept->second.back());
            kept->second.pop_back();
            cell->prepareForReuse();
            return cell;
        }
        const auto factory = factories_.find(identifier);
        if (factory == factories_.end() || !factory->second) return nullptr;
        auto cell = factory->second();
        if (cell) cell->setReuseIdentifier(identifier);
        return cell;
    }

    // Keeps the cell under its reuse identifier; a cell without one is let go.
    void put(std::shared_ptr<Cell> cell) {
        if (!cell || cell->reuseIdentifier().empty()) return;
        pool_[cell->reuseIdentifier()].push_back(std::move(cell));
    }

    [[nodiscard]] size_t keptCount(const std::string& identifier) const {
        const auto kept = pool_.find(identifier);
        return kept == pool_.end() ? 0 : kept->second.size();
    }

private:
    std::map<std::string, Factory> factories_;
    std::map<std::string, std::vector<std::shared_ptr<Cell>>> pool_;
};

}  // namespace ui
