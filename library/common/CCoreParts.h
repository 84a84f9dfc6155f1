#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <thread>
#include <vector>

// Splits a pass over a long capture into one contiguous part per core, the first run
// on the calling thread. A part that throws stops only itself; once all have ended,
// the failure of the earliest part is thrown, so a refusal names the first bad sample
// in capture order, as a single pass would.
class CCoreParts {
public:
    // The shortest stretch of a capture worth a core of its own: below about two
    // million samples a pass takes a few milliseconds, and a batch of such captures
    // keeps the cores busy with one capture per worker instead.
    static constexpr std::size_t kSamplesPerPart = std::size_t{2} << 20;

    // The number of parts `count` samples are split into: one per core, but none
    // shorter than `shortest`, where starting a thread would cost more than it saves.
    static std::size_t PartsFor(std::size_t count, std::size_t shortest) {
        const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
        return std::clamp<std::size_t>(count / std::max<std::size_t>(shortest, 1), 1, cores);
    }

    // Calls part(k, begin, end) for parts k of [0, count), each [begin, end).
    template <typename Part>
    static void Run(std::size_t count, std::size_t parts, Part&& part) {
        parts = std::max<std::size_t>(parts, 1);
        std::vector<std::exception_ptr> failures(parts);
        const auto guarded = [&](std::size_t k) {
            try {
                part(k, count * k / parts, count * (k + 1) / parts);
            } catch (...) {
                failures[k] = std::current_exception();
            }
        };
        std::vector<std::thread> threads;
        for (std::size_t k = 1; k < parts; ++k) threads.emplace_back(guarded, k);
        guarded(0);
        for (std::thread& thread : threads) thread.join();
        for (const std::exception_ptr& failure : failures)
            if (failure) std::rethrow_exception(failure);
    }
};
