#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "report/CToolboxGlobals.h"

TEST(PathParts, SlashAndBackslashSeparateFoldersAlike) {
    const struct {
        const char *path, *directory, *name, *base;
    } cases[] = {
        {"C:\\data\\run1\\cap.csv", "C:\\data\\run1", "cap.csv", "cap"},
        {"C:\\a\\b.wfm.bin", "C:\\a", "b.wfm.bin", "b.wfm"},
        {"C:\\a\\noext", "C:\\a", "noext", ""},
        {"/home/lab/cap.1.csv", "/home/lab", "cap.1.csv", "cap.1"},
        {"cap.csv", "", "cap.csv", "cap.csv"},
        {"/tmp/x/", "/tmp/x", "", ""},
        // Folder names keep their trailing blanks: a blank may end a folder's name.
        {"/tmp/run 1 /cap.csv", "/tmp/run 1 ", "cap.csv", "cap"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DirectoryOf(c.path), c.directory);
        EXPECT_EQ(FileNameOf(c.path), c.name);
        EXPECT_EQ(BaseNameOf(c.path), c.base);
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
