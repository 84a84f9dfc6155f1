#pragma once

#include "signal/CAnalysisRecord.h"
#include "report/CSignalFragments.h"
#include "report/CToolboxGlobals.h"
#include "signal/CPacketMeasurement.h"
#include "signal/CPacketVerdict.h"
#include "spec/CSigSpec.h"

// Words the verdicts of the first measured packet: the value and verdict line of
// every figure, in the units of the test type (eye values in mV at high speed, V on
// the single-ended lines) and the colours of the verdicts. eUSB2 runs speak of
// repeaters where USB 2.0 runs speak of hubs.
class CSignalHtml {
public:
    CSignalFragments BuildFragments(const CPacketVerdict& verdict, const CToolboxRecord& toolbox,
                                    const CSigSpec& spec, const CPacketMeasurement& measurement,
                                    const CAnalysisRecord& record, bool isEusb) const;
};
