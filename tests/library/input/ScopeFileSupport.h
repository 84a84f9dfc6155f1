#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "input/CReadFile.h"

// Reader tests: a waveform read as the library reads it, the text a read fails with,
// the real scope files, and damage done to copies of files.
namespace scopefiles {

using Values = std::vector<double>;

struct Waveform {
    int32_t m_nKind = 0;
    Values m_Time, m_Diff, m_First, m_Second;
};

inline Waveform Read(const std::string& path, const std::string& other = "", bool inrush = false) {
    Waveform w;
    w.m_nKind =
        CReadFile().ReadWaveform(path, w.m_Time, w.m_Diff, w.m_First, w.m_Second, other, inrush);
    return w;
}

// The text a read fails with, or "" when it succeeds.
inline std::string FailureOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const CAnalysisError& error) {
        return error.Text();
    }
    return "";
}

// The folder of real scope files: VELKIN_SCOPE_FIXTURES from the environment, else as built.
inline std::string FixtureFolder() {
    const char* set = std::getenv("VELKIN_SCOPE_FIXTURES");
    return set != nullptr && *set != '\0' ? set : VELKIN_SCOPE_FIXTURES;
}

// A real scope file, in its maker's folder.
inline std::string Real(const std::string& name) {
    const char* folder = name.ends_with(".csv")       ? "csv"
                         : name.ends_with(".wfm")     ? "tek_wfm"
                         : name.ends_with(".trc")     ? "lecroy_trc"
                         : name.ends_with(".Wfm.bin") ? "rs_bin"
                                                      : "keysight_bin";
    return FixtureFolder() + "/" + folder + "/" + name;
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

// Figures of one trace, each known to 6 significant digits.
struct Figures {
    std::size_t m_nCount = 0;
    double m_dFirstTime, m_dLastTime, m_dFirst, m_dLast, m_dMin, m_dMax;
};

inline void ExpectFigures(const Values& time, const Values& trace, const Figures& truth) {
    ASSERT_EQ(trace.size(), truth.m_nCount);
    ASSERT_EQ(time.size(), truth.m_nCount);
    const double got[] = {time.front(),
                          time.back(),
                          trace.front(),
                          trace.back(),
                          *std::min_element(trace.begin(), trace.end()),
                          *std::max_element(trace.begin(), trace.end())};
    const double want[] = {truth.m_dFirstTime, truth.m_dLastTime, truth.m_dFirst,
                           truth.m_dLast,      truth.m_dMin,      truth.m_dMax};
    for (int i = 0; i < 6; ++i)
        EXPECT_NEAR(got[i], want[i], std::max(std::fabs(want[i]) * 6e-6, 1e-12))
            << "first time, last time, first, last, minimum, maximum: #" << i;
}

inline std::string Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
        std::string bytes = Load(path);
        for (std::size_t at : {offset, also ? also : offset})
            std::memcpy(&bytes[at], &value, sizeof(T));
        Save(path, bytes);
    };
}

}  // namespace scopefiles
