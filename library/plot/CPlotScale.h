#pragma once

#include <cmath>
#include <span>
#include <string>

#include "common/CSampleTimes.h"

// Scale and unit prefix that bring a time axis into a readable range.
struct CTimeScale {
    double m_dFactor = 1.0;   // multiplies seconds
    std::string m_strPrefix;  // UTF-8: "n", "\u00b5", "m", ...
};

// The time axis of a whole capture, on the prefixed scale.
struct CCaptureAxis {
    double m_dFactor = 1.0;  // multiplies seconds
    std::string m_strTitle;
    double m_dMin = 0.0, m_dMax = 0.0, m_dStep = 0.0;
};

// Lowest and highest sample of the traces a plot shows; samples without a value
// take no part, and a plot of none of them spans 0.
struct CValueRange {
    double m_dLow = 0.0;
    double m_dHigh = 0.0;
    bool m_bFound = false;
    void Extend(std::span<const double> values);
};

// Chooses what the axes of a plot show: the span of the traces, the grid step,
// the unit prefix of a time axis and the text of each grid label.
class CPlotScale {
public:
    // Scopes write 9.9e37 where a sample was off screen or not acquired; like NaN
    // and infinity it stands for no value, and would squeeze the trace into one row.
    static bool IsSample(double v) { return std::abs(v) < kOverflowMark; }  // false for NaN
    static constexpr double kOverflowMark = 9.9e37;

    // A flat trace or a single sample spans nothing, which would make the scale
    // infinite; such a range is opened around its value.
    static void EnsureSpan(double& lo, double& hi);

    static double TimeGridStep(double range);
    static double ValueGridStep(double range);
    static CTimeScale TimePrefix(std::span<const double> values);
    static std::string TimeLabel(double value, double step);
    static std::string ValueLabel(double value, double step);
    static CCaptureAxis CaptureAxis(const CSampleTimes& time);
    // The axis of a stretch of a capture, in the unit its length reads best in: a
    // packet a millisecond after the trigger is still timed in ns. It starts on the
    // last digit its label prints, so the label at the left edge reads true.
    static CCaptureAxis StretchAxis(double start, double end);

private:
    static CCaptureAxis Axis(double start, double end, const CTimeScale& scale);
};
