#pragma once
// One shingle of a paragraph (a run of consecutive tokens) with its rolling
// hash. An immutable value; any thread.

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

namespace ads {

class DZShingleHashTuple {
public:
    DZShingleHashTuple(std::vector<std::string> shingle, std::uint64_t hashValue);

    [[nodiscard]] const std::vector<std::string>& shingle() const { return shingle_; }
    [[nodiscard]] std::uint64_t hashValue() const { return hashValue_; }

    // The fingerprint order: fewer tokens first, then the smaller hash;
    // -1, 0 or 1.
    [[nodiscard]] static int compare(const DZShingleHashTuple& a, const DZShingleHashTuple& b);
    friend std::strong_ordering operator<=>(const DZShingleHashTuple& a,
                                            const DZShingleHashTuple& b) {
        return compare(a, b) <=> 0;
    }
    friend bool operator==(const DZShingleHashTuple& a, const DZShingleHashTuple& b) {
        return compare(a, b) == 0;
    }

private:
    std::vector<std::string> shingle_;
    std::uint64_t hashValue_;
};

}  // namespace ads
