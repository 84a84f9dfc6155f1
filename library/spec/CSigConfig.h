#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// Constants shared by the signal-quality stages that do not depend on the test
// type: speed and symbol codes, symbol letters, plot colours and the
// result-group names. A fresh record is all 0 / empty; BuildConfig fills it.
struct CSigConfig {
    int32_t m_nKindA = 0;
    int32_t m_nKindB = 0;
    int32_t m_nLowSpeed = 0;   // 1, equals m_nSpeed of a low-speed CSigSpec
    int32_t m_nFullSpeed = 0;  // 2
    int32_t m_nHighSpeed = 0;  // 3
    std::array<int32_t, 5> m_nCodes{};
    std::array<int32_t, 6> m_nTestCodes{};
    // Line-state symbol codes: E (EOP run), I (idle run), J, S (between the
    // thresholds), K.
    int32_t m_nSymE = 0;
    int32_t m_nSymI = 0;
    int32_t m_nSymJ = 0;
    int32_t m_nSymS = 0;
    int32_t m_nSymK = 0;
    std::string m_strSymbols;               // "EIJSK": letter of each symbol code, by index
    std::array<int32_t, 15> m_nPaletteA{};  // five RGB colours
    std::array<int32_t, 15> m_nPaletteB{};
    std::array<int32_t, 15> m_nPaletteC{};
    std::vector<int32_t> m_ColourA;  // RGB
    std::array<double, 12> m_dShades{};
    std::vector<int32_t> m_ColourB;
    std::vector<int32_t> m_ColourC;
    std::vector<int32_t> m_ColourD;
    std::vector<int32_t> m_ColourE;
    std::vector<int32_t> m_ColourF;
    std::vector<int32_t> m_ColourG;
    std::vector<int32_t> m_ColourH;
    std::vector<int32_t> m_ColourI;
    int32_t m_nStyleA = 0;
    int32_t m_nStyleB = 0;
    std::array<std::string, 7> m_strGroupNames{};

    bool operator==(const CSigConfig&) const = default;
};
