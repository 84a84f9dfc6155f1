#pragma once

#include <cstdint>
#include <string>

#include "entry/CAnalysisRecord.h"
#include "report/CToolboxGlobals.h"
#include "spec/CSigSpec.h"

// Writes the signal-quality report of one capture beside its data file: the
// verdicts of the first measured packet, the waveform and eye plots, and how the
// analysis was done. Names taken from the user's files are escaped, and the page
// replaces an earlier report only once it is completely written.
class CUsbSigReport {
public:
    // Throws CAnalysisError "Failed to open report file" when no file can be
    // created beside the data file, and "Failed to write report file <name>" when
    // writing fails (the earlier report then stays as it was); std::out_of_range
    // when the record holds no measurement or no verdict.
    void WriteReport(const CAnalysisRecord& record, CToolboxRecord toolbox, const CSigSpec& spec,
                     bool isEusb);

    // The data file's name with its last extension replaced by ".html", in its folder.
    // Sets m_strReportName to the name without the extension.
    std::string ReportPathFor(const std::string& dataFile);
    // Replaces the page at `path` only once it is written whole; throws "Failed to
    // open report file" or "Failed to write report file <name>" otherwise.
    static void SavePage(const std::string& path, const std::string& page);

    // The test type as the page names it: by table, hub flag and eUSB2 run; empty for
    // a combination that has no name.
    static std::string DisplayName(const CSigSpec& spec, bool isEusb);

    // The code the report names the test by: the test tables 1 to 4, their
    // downstream hub ports 5 to 7, and the eUSB2 repeaters 8 to 10.
    static int32_t DisplayCode(const CSigSpec& spec, bool isEusb);

    std::string m_strReportName;
};
