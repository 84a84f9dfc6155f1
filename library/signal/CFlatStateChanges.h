#pragma once

#include <cstddef>
#include <cstdint>

// Where a trace changes line state against a threshold that is the same at every sample:
// J above it, K below its negative, the between level in between (and for a sample that
// is no number). Eight samples at a time and with no branch on a state: a high-speed line
// changes state every few samples, too often for a branch to guess.
class CFlatStateChanges {
public:
    static constexpr int kBetween = 0;
    static constexpr int kJ = 1;
    static constexpr int kK = 2;
    // Room `changes` needs beyond one entry per sample.
    static constexpr std::size_t kSlack = 8;

    // The state of one sample, J made positive by `jSign`.
    static int StateOf(double sample, double jSign, double threshold) {
        const double level = jSign * sample;
        return level > threshold ? kJ : level < -threshold ? kK : kBetween;
    }

    // Writes to `changes` the index of every sample of [from, to) whose state differs from
    // the one before, and returns how many; `state` holds the state of the sample before
    // `from` on entry and of the last sample on return.
    static std::size_t Find(const double* trace, std::size_t from, std::size_t to, double jSign,
                            double threshold, int& state, int32_t* changes);
};
