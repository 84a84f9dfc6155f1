#pragma once

#include <cstdint>

#include "signal/CAnalysisRecord.h"
#include "signal/CPacketMeasurement.h"
#include "signal/CPacketVerdict.h"
#include "spec/CSigConfig.h"
#include "spec/CSigSpec.h"

// Holds every measured packet against the limits of its test type: one verdict per
// figure (pass, pass under a waiver, fail, or no data), the eye-margin flags and the
// overall verdict. A figure that is not a finite number was not measured, so it is
// never a pass: rate, EOP width, crossover and jitter become NoData (the report says
// they could not be measured), edge rates and monotonicity Fail.
class CTestPackets {
public:
    // The record with one CPacketVerdict appended per measurement, in order.
    CAnalysisRecord TestPackets(CAnalysisRecord record, const CSigConfig& config,
                                const CSigSpec& spec) const;

    // `hubs` is the count of hubs or repeaters in front of the probe: each may drop
    // up to four SYNC bits.
    CPacketVerdict TestPacket(const CPacketMeasurement& measurement, const CSigConfig& config,
                              const CSigSpec& spec, uint32_t hubs) const;

    // One jitter figure, the extremes of a list of deviations: within `passMax` both
    // ways it passes, within `waiverMax` it is waived; not finite is NoData.
    static int32_t JudgeJitter(double lowest, double highest, double passMax, double waiverMax);
};
