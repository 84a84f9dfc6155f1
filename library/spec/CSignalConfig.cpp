#include "spec/CSignalConfig.h"

#include "spec/CSigSpec.h"

std::unique_ptr<CSigConfig> CSignalConfig::BuildConfig() const {
    auto config = std::make_unique<CSigConfig>();
    CSigConfig& c = *config;

    c.m_nKindA = 1;
    c.m_nKindB = 2;
    c.m_nLowSpeed = kLowSpeed;
    c.m_nFullSpeed = kFullSpeed;
    c.m_nHighSpeed = kHighSpeed;
    c.m_nCodes = {1, 1, 2, 3, 4};
    c.m_nTestCodes = {7, 6, 5, 6, 8, 9};
    c.m_nSymE = 0;
    c.m_nSymI = 1;
    c.m_nSymJ = 2;
    c.m_nSymS = 3;
    c.m_nSymK = 4;
    c.m_strSymbols = "EIJSK";
    c.m_nPaletteA = {140, 255, 25, 75, 0, 0, 255, 128, 75, 0, 140, 255, 25, 75, 204};
    c.m_nPaletteB = {140, 255, 25, 76, 0, 0, 255, 128, 76, 0, 140, 255, 25, 76, 204};
    c.m_nPaletteC = {230, 76, 230, 76, 230, 230, 76, 230, 76, 230, 230, 76, 230, 76, 230};
    c.m_ColourA = {140, 0, 140};
    c.m_dShades = {0.3, 0.3, 0.3, 0.8, 0.7, 0, 0.3, 0.3, 0.3, 0, 0, 0};
    c.m_ColourB = {140, 0, 140};
    c.m_ColourC = {0, 0, 204};
    c.m_ColourD = {25, 127, 25};
    c.m_ColourE = {76, 76, 76};
    c.m_ColourF = {204, 179, 0};
    c.m_ColourG = {255, 0, 0};
    c.m_ColourH = {255, 0, 0};
    c.m_ColourI = {216, 216, 0};
    c.m_nStyleA = 2;
    c.m_nStyleB = 1;
    c.m_strGroupNames = {"crossovers", "EOP",        "eye", "jitter", "signal integrity pass/fail",
                         "receivers",  "signal rate"};
    return config;
}
