#pragma once

#include <cstdint>
#include <string>

#include "signal/CAnalysisRecord.h"
#include "common/CPendingOutputs.h"
#include "report/CResultRecord.h"
#include "report/CToolboxGlobals.h"
#include "spec/CSigSpec.h"

// Writes the signal-quality report of one capture beside its data file: the
// verdicts of the first measured packet, the waveform and eye plots, and how the
// analysis was done. Names taken from the user's files are escaped; the page is
// handed to the run's pending outputs, which put it in place with the plots.
class CUsbSigReport {
public:
    // Throws CAnalysisError "Failed to open report file" when no file can be
    // created beside the data file, and "Failed to write report file <name>" when
    // writing fails; std::out_of_range when the record holds no measurement or no
    // verdict. `result` gives the limits table.
    void WriteReport(const CAnalysisRecord& record, CToolboxRecord toolbox, const CSigSpec& spec,
                     bool isEusb, CPendingOutputs& outputs, const CResultRecord& result) const;

    // Hands `page` over as the report at `path`, with the failure words of both reports.
    static void SavePage(const std::string& path, const std::string& page,
                         CPendingOutputs& outputs);

    // The test type as the page names it: by table, hub flag and eUSB2 run; empty for
    // a combination that has no name.
    static std::string DisplayName(const CSigSpec& spec, bool isEusb);

    // The code the report names the test by: the test tables 1 to 4, their
    // downstream hub ports 5 to 7, and the eUSB2 repeaters 8 to 10.
    static int32_t DisplayCode(const CSigSpec& spec, bool isEusb);
};
