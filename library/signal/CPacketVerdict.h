#pragma once

#include <cstdint>

// The verdict codes of one measured packet, one per judged figure.
struct CPacketVerdict {
    int32_t m_nOverall = 0;
    int32_t m_nEye = 0;
    int32_t m_nCrossover = 0;
    int32_t m_nEopWidth = 0;
    int32_t m_nReservedA = 0;
    int32_t m_nSignalRate = 0;
    int32_t m_nSyncFound = 0;
    int32_t m_nSyncLength = 0;
    int32_t m_nHubSync = 0;
    int32_t m_bMarginAboveEye = 0;
    int32_t m_bMarginBelowEye = 0;
    int32_t m_bMarginBelowTop = 0;
    int32_t m_bMarginAboveBottom = 0;
    int32_t m_bMarginTopLeftUp = 0;
    int32_t m_bMarginBottomLeftDown = 0;
    int32_t m_bMaxVoltageOk = 0;
    int32_t m_bMinVoltageOk = 0;
    int32_t m_nRiseRate = 0;
    int32_t m_nFallRate = 0;
    int32_t m_nReservedB = 0;
    int32_t m_nSyncBitsDropped = 0;
    int32_t m_nMonotonic = 0;
    int32_t m_bAllEdgesFound = 0;
    int32_t m_nJitter = 0;
    int32_t m_nReservedC = 0;
};
