#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"
#include "signal/CPacketEntry.h"
#include "signal/CPacketMeasurement.h"
#include "signal/CPacketVerdict.h"

// What a signal-quality run knows about its capture, handed from stage to stage:
// the traces, the line-state runs cut into packets, the measurement and verdicts.
// Stages take it by move so the sample vectors are never copied on the run path.
struct CAnalysisRecord {
    bool m_bValid = false;
    uint32_t m_nHubs = 0;
    CPacketEntry m_Capture;  // the idle runs of the capture
    std::vector<CPacketEntry> m_Packets;
    std::vector<CPacketMeasurement> m_Measurements;
    // Index into m_Packets of the packet m_Measurements[0] was measured on: the
    // first one the capture holds whole.
    int32_t m_nMeasuredPacket = -1;
    std::vector<CPacketVerdict> m_Verdicts;
    std::vector<double> m_Diff;  // V, D+ minus D- for a single-ended pair
    CSampleTimes m_Time;         // s
    int32_t m_nSamples = 0;
    int32_t m_nTraceKind = 0;  // 2 differential, 3 D+/D- pair
    int32_t m_nSymbols = 0;
    int32_t m_nPackets = 0;
    double m_dSampleRate = 0.0;
    int32_t m_nPrepResult = 0;  // 1 when the capture was too coarse and up-sampled by more than 4
    std::string m_strFileA;
    std::string m_strFileB;
    std::vector<double> m_CommonMode;  // empty for a differential capture
    std::vector<double> m_DPlus;
    std::vector<double> m_DMinus;
    // True when the levels showed the second file of a pair to hold D+.
    bool m_bPairSwapped = false;
};
