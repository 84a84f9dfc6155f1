#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"

// Support for reader tests: fixture paths, a scratch folder for corrupted
// copies, and the check of a trace against the figures known for a capture.
namespace scopefiles {

inline std::string Fixture(const std::string& folder, const std::string& name) {
    return std::string(VELKIN_SHARED_DIR) + "/fixtures/scope/" + folder + "/" + name;
}

// Figures of one trace, each known to 6 significant digits.
struct Figures {
    std::size_t m_nCount;
    double m_dFirstTime, m_dLastTime;
    double m_dFirst, m_dLast, m_dMin, m_dMax;
};

inline void ExpectSixDigits(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, std::max(std::fabs(expected) * 6e-6, 1e-12)) << what;
}

inline void ExpectFigures(const std::vector<double>& time, const std::vector<double>& trace,
                          const Figures& truth) {
    ASSERT_EQ(trace.size(), truth.m_nCount);
    ASSERT_EQ(time.size(), truth.m_nCount);
    ExpectSixDigits(time.front(), truth.m_dFirstTime, "first time");
    ExpectSixDigits(time.back(), truth.m_dLastTime, "last time");
    ExpectSixDigits(trace.front(), truth.m_dFirst, "first value");
    ExpectSixDigits(trace.back(), truth.m_dLast, "last value");
    ExpectSixDigits(*std::min_element(trace.begin(), trace.end()), truth.m_dMin, "minimum");
    ExpectSixDigits(*std::max_element(trace.begin(), trace.end()), truth.m_dMax, "maximum");
}

// The text a reader fails with, or "" when it reads the file.
inline std::string FailureOf(const std::function<void()>& read) {
    try {
        read();
    } catch (const CAnalysisError& error) {
        return error.Text();
    }
    return "";
}

// A private folder for copies of fixtures, removed with the test.
class ScratchFolder : public CTempFolder {
public:
    ScratchFolder() : CTempFolder("velkin_scope_") {}

    // A writable copy of `source` named `name`.
    std::string Copy(const std::string& source, const std::string& name) const {
        std::filesystem::copy_file(source, Path(name),
                                   std::filesystem::copy_options::overwrite_existing);
        std::filesystem::permissions(Path(name), std::filesystem::perms::owner_all);
        return Path(name);
    }

    static std::vector<char> Bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void Save(const std::string& path, const std::vector<char>& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    }

    // Overwrites the little-endian field at `offset` of the file at `path`.
    template <typename T>
    static void Patch(const std::string& path, std::size_t offset, T value) {
        std::vector<char> bytes = Bytes(path);
        std::memcpy(bytes.data() + offset, &value, sizeof(T));
        Save(path, bytes);
    }
};

}  // namespace scopefiles
