#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "report/CToolboxGlobals.h"

// One rule names every output of a capture: its own folder, and its name up to the
// last full stop. Only "/" ends a folder, so "run1\cap.csv", a file of its own on
// this system, never takes the outputs of "cap.csv" beside it. A message names the
// file after the last separator of either kind, so a path written on a Windows scope
// still shows its file's name.
TEST(OutputNames, EveryOutputLiesBesideTheCaptureUnderItsNameUpToTheLastFullStop) {
    const std::string here = std::filesystem::current_path().string();
    const struct {
        std::string data, folder, stem, named;
    } cases[] = {
        {"/data/cap.csv", "/data", "cap", "cap.csv"},
        {"/data/capture.wfm.bin", "/data", "capture.wfm", "capture.wfm.bin"},
        {"/data/noext", "/data", "noext", "noext"},
        {"/data/run1\\cap.csv", "/data", "run1\\cap", "cap.csv"},
        {"/data/run.1\\cap", "/data", "run", "cap"},
        // Folder names keep their trailing blanks: a blank may end a folder's name.
        {"/tmp/run 1 /cap.csv", "/tmp/run 1 ", "cap", "cap.csv"},
        {"cap.csv", here, "cap", "cap.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        const COutputNames names = OutputNamesOf(c.data);
        EXPECT_EQ(names.m_strFolder, c.folder);
        EXPECT_EQ(names.m_strStem, c.stem);
        EXPECT_EQ(names.m_strDataName, std::filesystem::path(c.data).filename());
        EXPECT_EQ(names.Path("_sum.csv"), c.folder + "/" + c.stem + "_sum.csv");
        EXPECT_EQ(FileNameOf(c.data), c.named);
    }
}

TEST(ReportTimeStamp, ReadsAsTheCLibraryWritesItInAnyLocale) {
    std::tm when{};
    strptime("2026-12-07 04:02:21", "%Y-%m-%d %H:%M:%S", &when);
    when.tm_isdst = -1;
    EXPECT_EQ(ReportTimeStamp(std::mktime(&when)), "Mon Dec  7 04:02:21 2026\n");
}

// The reports link to the programme page a lab names, and to nowhere by default; an
// address that could close the link's attribute or tag is not taken.
TEST(ToolboxGlobals, ComplianceLinkComesOnlyFromTheSettingAndNeverBreaksTheTag) {
    const struct {
        const char *value, *url;
    } cases[] = {
        {nullptr, ""},
        {"https://lab.invalid/usb?test=si&speed=hs", "https://lab.invalid/usb?test=si&speed=hs"},
        {"https://lab.invalid/a b", ""},
        {"x><script>alert(1)</script>", ""},
        {"x\"onclick=1", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? c.value : "unset");
        c.value ? setenv("VELKIN_COMPLIANCE_URL", c.value, 1) : unsetenv("VELKIN_COMPLIANCE_URL");
        EXPECT_EQ(CToolboxGlobals().GetGlobals().m_strComplianceUrl, c.url);
    }
    unsetenv("VELKIN_COMPLIANCE_URL");
}
