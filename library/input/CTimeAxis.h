#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// The time axis of a uniformly sampled record: sample i sits at
// origin + i * interval, i from 0, the instrument's own origin being the time
// of the first stored sample. Every later stage derives the sample rate from
// the first two times, so a record needs two samples and a finite, positive
// interval.
class CTimeAxis {
public:
    void Fill(CSampleTimes& time, std::size_t count, double origin, double interval,
              const std::string& fileName) const;
};
