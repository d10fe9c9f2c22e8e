#include "core/Random.h"

#include <sys/random.h>

#include <cerrno>
#include <utility>

namespace core {

namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<Random> random;
};

const std::shared_ptr<Random>& defaultRandom() {
    static const auto* random = new std::shared_ptr<Random>(std::make_shared<SeededRandom>());
    return *random;
}

Installed& installed() {
    static auto* state = new Installed{{}, defaultRandom()};
    return *state;
}

constexpr std::uint64_t kTwoTo32 = std::uint64_t{1} << 32;

}  // namespace

std::shared_ptr<Random> Random::current() {
    auto& state = installed();
    std::lock_guard lock(state.mutex);
    return state.random;
}

void Random::install(std::shared_ptr<Random> random) {
    auto& state = installed();
    std::lock_guard lock(state.mutex);
    state.random = random ? std::move(random) : defaultRandom();
}

std::uint64_t Random::secureUInt64() {
    std::uint64_t value = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&value);
    size_t filled = 0;
    while (filled < sizeof value) {
        const ssize_t got = getrandom(bytes + filled, sizeof value - filled, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            // No kernel source: fall back to the device the library seeds from.
            std::random_device device;
            return (std::uint64_t{device()} << 32) | device();
        }
        filled += static_cast<size_t>(got);
    }
    return value;
}

double Random::uniform() {
    return static_cast<double>(nextUInt32()) / static_cast<double>(kTwoTo32);
}

std::uint64_t Random::nextUInt64() {
    const std::uint64_t high = nextUInt32();
    return (high << 32) | nextUInt32();
}

std::int64_t Random::uniformInt(std::int64_t low, std::int64_t high) {
    if (low > high) std::swap(low, high);
    // Number of values, modulo 2^64: 0 stands for the whole 64-bit range.
    const std::uint64_t count =
        static_cast<std::uint64_t>(high) - static_cast<std::uint64_t>(low) + 1;
    std::uint64_t offset = 0;
    if (count == 0) {
        offset = nextUInt64();
    } else if (count <= kTwoTo32) {
        std::uint64_t product = nextUInt32() * count;
        if ((product & (kTwoTo32 - 1)) < count) {
            const std::uint64_t threshold = (kTwoTo32 - count) % count;
            while ((product & (kTwoTo32 - 1)) < threshold) product = nextUInt32() * count;
        }
        offset = product >> 32;
    } else {
        using Wide = unsigned __int128;
        Wide product = static_cast<Wide>(nextUInt64()) * count;
        if (static_cast<std::uint64_t>(product) < count) {
            const std::uint64_t threshold = (0 - count) % count;
            while (static_cast<std::uint64_t>(product) < threshold) {
                product = static_cast<Wide>(nextUInt64()) * count;
            }
        }
        offset = static_cast<std::uint64_t>(product >> 64);
    }
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(low) + offset);
}

SeededRandom::SeededRandom() : engine_(std::random_device{}()) {}

SeededRandom::SeededRandom(std::uint64_t seed)
    : engine_(static_cast<std::mt19937::result_type>(seed ^ (seed >> 32))) {}

std::uint32_t SeededRandom::nextUInt32() {
    std::lock_guard lock(mutex_);
    return static_cast<std::uint32_t>(engine_());
}

ScriptedRandom::ScriptedRandom(std::vector<std::uint32_t> draws) : draws_(std::move(draws)) {}

std::uint32_t ScriptedRandom::nextUInt32() {
    std::lock_guard lock(mutex_);
    const size_t index = made_++;
    return draws_.empty() ? 0 : draws_[index % draws_.size()];
}

size_t ScriptedRandom::drawsMade() const {
    std::lock_guard lock(mutex_);
    return made_;
}

}  // namespace core
