#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "FailureText.h"
#include "common/CAnalysisError.h"
#include "input/CReadFile.h"

// For reader tests: a read as the library does it, its failure text, real files, damage.
namespace scopefiles {

using Values = std::vector<double>;

struct Waveform {
    int32_t m_nKind = 0;
    Values m_Time, m_Diff, m_First, m_Second;
};

inline Waveform Read(const std::string& path, const std::string& other = "", bool inrush = false) {
    Waveform w;
    CSampleTimes time;
    w.m_nKind =
        CReadFile().ReadWaveform(path, time, w.m_Diff, w.m_First, w.m_Second, other, inrush);
    w.m_Time.assign(time.begin(), time.end());
    return w;
}

// The folder of real scope files: VELKIN_SCOPE_FIXTURES from the environment, else as built.
inline std::string FixtureFolder() {
    const char* set = std::getenv("VELKIN_SCOPE_FIXTURES");
    return set != nullptr && *set != '\0' ? set : VELKIN_SCOPE_FIXTURES;
}

// A real scope file, in its maker's folder.
inline std::string Real(const std::string& name) {
    for (const auto& [end, folder] : {std::pair{".csv", "csv"},
                                      {".wfm", "tek_wfm"},
                                      {".trc", "lecroy_trc"},
                                      {".Wfm.bin", "rs_bin"}})
        if (name.ends_with(end)) return FixtureFolder() + "/" + folder + "/" + name;
    return FixtureFolder() + "/keysight_bin/" + name;
}

// A test of real scope files skips when their folder is absent, and fails instead where
// VELKIN_REQUIRE_SCOPE_FIXTURES=1 says the folder must be there.
#define SKIP_WITHOUT_SCOPE_FIXTURES()                                        \
    do {                                                                     \
        const std::string folder = scopefiles::FixtureFolder();              \
        if (std::filesystem::is_directory(folder)) break;                    \
        const char* required = std::getenv("VELKIN_REQUIRE_SCOPE_FIXTURES"); \
        if (required != nullptr && std::string(required) == "1")             \
            FAIL() << "The scope-file folder " << folder << " is absent";    \
        GTEST_SKIP() << "The scope-file folder " << folder << " is absent";  \
    } while (false)

// Figures of one trace, each known to 6 significant digits: the sample count, then the
// first and last time, the first and last value, the minimum and the maximum.
using Figures = std::array<double, 7>;

inline void ExpectFigures(const Values& time, const Values& trace, const Figures& truth) {
    ASSERT_EQ(trace.size(), truth[0]);
    ASSERT_EQ(time.size(), truth[0]);
    const auto [low, high] = std::minmax_element(trace.begin(), trace.end());
    const Figures got{truth[0],     time.front(), time.back(), trace.front(),
                      trace.back(), *low,         *high};
    for (std::size_t i = 1; i < got.size(); ++i)
        EXPECT_NEAR(got[i], truth[i], std::max(std::fabs(truth[i]) * 6e-6, 1e-12))
            << "figure " << i;
}

inline void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// A change made to a copied file, given its path.
using Damage = std::function<void(const std::string&)>;

// Writes `value` into the little-endian field at `offset`, and at `also` when given.
template <typename T>
Damage Patch(std::size_t offset, T value, std::size_t also = 0) {
    return [=](const std::string& path) {
        std::string bytes = Slurp(path);
        for (std::size_t at : {offset, also ? also : offset})
            std::memcpy(&bytes[at], &value, sizeof(T));
        Save(path, bytes);
    };
}

}  // namespace scopefiles
