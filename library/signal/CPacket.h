#pragma once

#include <vector>

#include "signal/CPacketEntry.h"
#include "signal/CSymbolRun.h"
#include "spec/CSigConfig.h"

// Cuts the line-state runs of a capture into packets, the traffic between two
// idle bus states, and flags each packet that the capture cut off or that is too
// short to measure. The idle runs are handed back apart from the packets.
class CPacket {
public:
    // Takes the runs by value so that a caller who is done with them can move them in.
    std::vector<CPacketEntry> SplitPackets(std::vector<CSymbolRun> runs, const CSigConfig& config,
                                           std::vector<CSymbolRun>& idleRuns) const;
};
