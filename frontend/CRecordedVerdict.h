// The verdict Velkin records beside a capture's report once an analysis has run to
// the end: pass, pass under a waiver or fail, and the checks that failed or could not
// be measured. A script learns from it what a person reads in the report.
#pragma once

#include <string>

enum class EFileVerdict { kPass, kWaived, kFail, kError };

struct CFileVerdict {
    EFileVerdict m_eVerdict = EFileVerdict::kError;
    // kFail: the checks that failed or were not measured, comma-separated.
    // kError: why the capture has no verdict, on one line.
    std::string m_strDetail;
};

class CRecordedVerdict {
public:
    // The verdict recorded for `dataFile`, the file the library analysed. A record
    // that is missing or unreadable is an error naming it: never a silent pass.
    static CFileVerdict Read(const std::string& dataFile);
};
