#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The limits of the inrush test: the supply window the charge is judged at, the
// current that marks an inrush, how long after attach the event is followed, and the
// charge-per-volt limits (a capacitance) that turn the charge into a verdict. A
// fresh record is all 0 / empty; CInrushConfig fills it.
struct CInrushSpec {
    double m_dSupplyMin = 0.0;         // V
    double m_dSupplyMax = 0.0;         // V
    double m_dWindow = 0.0;            // s followed after the inrush starts
    double m_dCurrentThreshold = 0.0;  // A, current at or above this is inrush
    double m_dMinSampleRate = 0.0;     // samples/s accepted without a warning
    std::vector<int32_t> m_ColourA;    // RGB of the current plot
    std::vector<int32_t> m_ColourB;
    std::vector<int32_t> m_ColourC;
    double m_dCapPass = 0.0;    // F: charge per volt that passes
    double m_dCapWaiver = 0.0;  // F: charge per volt that is waived
    double m_dCapAlt = 0.0;     // F: a second pass limit, checked first
    std::string m_strTitle;

    bool operator==(const CInrushSpec&) const = default;
};
