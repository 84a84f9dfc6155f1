// The lines a command-line run prints on standard output for the user and for
// scripts, in a fixed wording: one per file judged or refused, and at the end the
// count of the run; and the exit status that sums it up.
#pragma once

#include <string>

#include "CRecordedVerdict.h"

class CVerdictTally {
public:
    static constexpr int kAllPassed = 0;     // every file analysed, passed or waived
    static constexpr int kDeviceFailed = 1;  // a device failed a limit
    static constexpr int kUsageError = 2;    // the command line cannot be run
    static constexpr int kNotAnalysed = 3;   // a file could not be analysed; wins over 1

    // Counts the verdict and returns its line: "PASS <file>", "WAIVED <file>",
    // "FAIL <file>: <checks>" or "ERROR <file>: <reason>".
    std::string Add(const std::string& file, const CFileVerdict& verdict);
    // A file the run left alone: an output of an earlier run, not a capture.
    void Skip() { ++m_nSkipped; }
    // Something asked for was not run at all: a pattern that matched nothing, an
    // unreadable command file, commands after the empty line that ends one.
    void NotRun() { m_bNotRun = true; }
    bool AllRun() const { return !m_bNotRun; }

    // "<n> files: <p> passed, <w> waived, <f> failed, <e> errors, <s> skipped";
    // n counts every file with a line of its own, not the skipped ones.
    std::string CountLine() const;
    int ExitStatus() const;

private:
    int m_nPassed = 0;
    int m_nWaived = 0;
    int m_nFailed = 0;
    int m_nErrors = 0;
    int m_nSkipped = 0;
    bool m_bNotRun = false;
};
