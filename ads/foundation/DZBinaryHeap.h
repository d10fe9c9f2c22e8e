#pragma once
// A priority queue that keeps its smallest element on top, ordered by a
// comparator answering -1, 0 or 1 (by default the elements' own <=>).
// A value type for one thread at a time.

#include <algorithm>
#include <compare>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace ads {

template <typename T>
class DZBinaryHeap {
public:
    using Comparator = std::function<int(const T& a, const T& b)>;

    DZBinaryHeap() : DZBinaryHeap(Comparator{}) {}
    // An empty comparator means the default order.
    explicit DZBinaryHeap(Comparator comparator)
        : comparator_(comparator ? std::move(comparator) : Comparator(defaultCompare)) {}

    void addObject(T object) {
        elements_.push_back(std::move(object));
        std::push_heap(elements_.begin(), elements_.end(), greater());
    }
    [[nodiscard]] bool containsObject(const T& object) const {
        return std::any_of(elements_.begin(), elements_.end(),
                           [&](const T& element) { return comparator_(element, object) == 0; });
    }
    [[nodiscard]] size_t count() const { return elements_.size(); }
    [[nodiscard]] const T* minimum() const { return elements_.empty() ? nullptr : &elements_[0]; }
    std::optional<T> removedMinimum() {
        if (elements_.empty()) return std::nullopt;
        std::pop_heap(elements_.begin(), elements_.end(), greater());
        T minimum = std::move(elements_.back());
        elements_.pop_back();
        return minimum;
    }
    // All elements, smallest first; nullopt when empty.
    [[nodiscard]] std::optional<std::vector<T>> sortedObjects() const {
        if (elements_.empty()) return std::nullopt;
        std::vector<T> sorted = elements_;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [this](const T& a, const T& b) { return comparator_(a, b) < 0; });
        return sorted;
    }

private:
    static int defaultCompare(const T& a, const T& b) {
        const auto order = a <=> b;
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    // std::push_heap keeps the greatest on top by its "less"; reversing it
    // keeps the smallest there.
    [[nodiscard]] auto greater() const {
        return [this](const T& a, const T& b) { return comparator_(a, b) > 0; };
    }

    Comparator comparator_;
    std::vector<T> elements_;
};

}  // namespace ads
