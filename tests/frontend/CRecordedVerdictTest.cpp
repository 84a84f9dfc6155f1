#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "CRecordedVerdict.h"
#include "CTempFolder.h"

// A script reads the verdict the record holds: a waiver is no failure, a check that
// could not be measured fails as one that failed, and a record that is missing, torn
// or without a verdict is an error, never a pass.
TEST(ResultRecord, GivesTheRecordedVerdictAndNoPassWithoutOne) {
    const struct {
        const char* record;  // nullptr: none written
        EFileVerdict verdict;
        const char* detail;  // its start, for an error
    } cases[] = {
        {nullptr, EFileVerdict::kError, "Cannot read the result record cap.json: No such file"},
        {R"({"overall": "pass", "checks": [)", EFileVerdict::kError,
         "Cannot read the result record cap.json: parse error"},
        {R"({"overall": "passed", "checks": []})", EFileVerdict::kError,
         "Cannot read the result record cap.json: no overall verdict"},
        {R"({"overall": "waived", "checks": [{"name": "Signal rate", "verdict": "waived"}]})",
         EFileVerdict::kWaived, ""},
        {R"({"overall": "fail", "checks": [{"name": "SYNC", "verdict": "pass"},
            {"name": "Eye template", "verdict": "not measured"},
            {"name": "Margin above eye", "verdict": "info"},
            {"name": "EOP width", "verdict": "fail"}]})",
         EFileVerdict::kFail, "Eye template, EOP width"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.record ? c.record : "no record");
        const CTempFolder folder;
        if (c.record) std::ofstream(folder.Path("cap.json")) << c.record;
        const CFileVerdict verdict = CRecordedVerdict::Read(folder.Path("cap.csv"));
        EXPECT_EQ(verdict.m_eVerdict, c.verdict);
        // An error's reason ends in the system's or the parser's own words.
        const std::size_t compared =
            c.verdict == EFileVerdict::kError ? std::strlen(c.detail) : std::string::npos;
        EXPECT_EQ(verdict.m_strDetail.substr(0, compared), c.detail);
    }
}
