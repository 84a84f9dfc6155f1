#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"
#include "plot/CCanvas.h"
#include "plot/CPlotArea.h"

struct CEyeResult;
struct CPacketMeasurement;
struct CSigConfig;
struct CSigSpec;

// Marks what the measurement found on the picture of one packet, at capture seconds
// times `factor`: the bit grid behind the traces, the J/K crossings and the samples
// that break the eye template over them, the SYNC field and the EOP as labelled spans
// above the frame, and a key under the axes. A long packet puts many crossings and
// violations on one pixel: each pixel is marked once.
class CPacketMarks {
public:
    static constexpr CRgb kBitGridColour{190, 205, 235};

    CPacketMarks(CPlotArea& area, const CSigConfig& config, double factor);

    // Light lines on the bit boundaries; none, and false, when the bits lie too close
    // together on the screen to be told apart.
    bool BitGrid(const CPacketMeasurement& packet);
    // The flagged samples of the first trace (m_Flags1) and the second (m_Flags2).
    void Violations(const CSampleTimes& time, const std::vector<double>& first,
                    const std::vector<double>& second, const CEyeResult& eye);
    void Crossings(const CPacketMeasurement& packet);
    // The SYNC field from the packet's first edge, as many bits long as the pattern the
    // measurement matched, and the EOP between its measured edges.
    void Fields(const CPacketMeasurement& packet, const CSigSpec& spec, double packetStart);
    void Key(bool bitGrid);

private:
    void FlaggedSamples(const CSampleTimes& time, const std::vector<double>& trace,
                        const std::vector<int32_t>& flags, std::size_t flagStart);
    void Span(double start, double end, const std::string& label);
    double PixelsPerBit(double unitInterval) const;
    CPixel PixelOf(double t, double v) const;
    // True the first time `p` is asked about in `marked`.
    bool FirstAt(std::vector<bool>& marked, CPixel p) const;

    CPlotArea& m_Area;
    const CSigConfig& m_Config;
    double m_dFactor;
    std::vector<bool> m_Violations;
    std::vector<bool> m_Crossings;
};
