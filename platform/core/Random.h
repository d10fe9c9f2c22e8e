#pragma once
// The process-wide source of randomness, injectable like the clock: by
// default a SeededRandom seeded by the operating system; tests install a
// SeededRandom with a fixed seed, or a ScriptedRandom that replays draws.
//
// Derived values are computed from nextUInt32() draws in a fixed way, so a
// scripted source gives exact results: uniform() is one draw divided by
// 2^32; uniformInt() maps one draw (two, high word first, for ranges wider
// than 2^32) onto the range without bias, drawing again in the rare case a
// draw falls in the rejected zone (for a range of n values, a draw whose
// product with n has a low word below 2^32 mod n).
//
// current() and install() are safe from any thread, and so are the draws
// of the sources below.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

namespace core {

class Random {
public:
    virtual ~Random() = default;

    virtual std::uint32_t nextUInt32() = 0;
    // In [0, 1).
    [[nodiscard]] double uniform();
    // In [low, high], both included; the bounds may come in either order.
    [[nodiscard]] std::int64_t uniformInt(std::int64_t low, std::int64_t high);

    [[nodiscard]] static std::shared_ptr<Random> current();
    // 64 bits from the operating system's cryptographic source, for
    // identifiers that must not be guessable; never the installed source.
    [[nodiscard]] static std::uint64_t secureUInt64();
    // nullptr restores the default source.
    static void install(std::shared_ptr<Random> random);

private:
    std::uint64_t nextUInt64();
};

class SeededRandom final : public Random {
public:
    SeededRandom();
    explicit SeededRandom(std::uint64_t seed);

    std::uint32_t nextUInt32() override;

private:
    std::mutex mutex_;
    std::mt19937 engine_;
};

// Replays its draws in order, starting over after the last; all zeros when
// given none.
class ScriptedRandom final : public Random {
public:
    explicit ScriptedRandom(std::vector<std::uint32_t> draws);

    std::uint32_t nextUInt32() override;
    [[nodiscard]] size_t drawsMade() const;

private:
    mutable std::mutex mutex_;
    const std::vector<std::uint32_t> draws_;
    size_t made_ = 0;
};

}  // namespace core
