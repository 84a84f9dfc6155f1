#include <gtest/gtest.h>

#include <filesystem>

#include "report/CToolboxGlobals.h"

TEST(PathParts, SplitLinuxAndWindowsPathsAlike) {
    EXPECT_EQ(DirectoryOf("C:\\data\\run1\\cap.csv"), "C:\\data\\run1");
    EXPECT_EQ(DirectoryOf("/tmp/x/cap.csv"), "/tmp/x");
    EXPECT_EQ(DirectoryOf("cap.csv"), "");
    EXPECT_EQ(DirectoryOf("/tmp/x/"), "/tmp/x");
    EXPECT_EQ(DirectoryOf("C:\\data\\"), "C:\\data");
    // Folder names keep their trailing blanks: they are part of the name on Linux.
    EXPECT_EQ(DirectoryOf("/tmp/run 1 /cap.csv"), "/tmp/run 1 ");

    EXPECT_EQ(FileNameOf("C:\\a\\b.wfm.bin"), "b.wfm.bin");
    EXPECT_EQ(FileNameOf("/home/lab/cap.1.csv"), "cap.1.csv");
    EXPECT_EQ(FileNameOf("cap.csv"), "cap.csv");
    EXPECT_EQ(FileNameOf("/tmp/x/"), "");
    EXPECT_EQ(FileNameOf("C:\\data\\"), "");

    EXPECT_EQ(BaseNameOf("C:\\a\\b.wfm.bin"), "b.wfm");
    EXPECT_EQ(BaseNameOf("/home/lab/cap.1.csv"), "cap.1");
    EXPECT_EQ(BaseNameOf("C:\\a\\noext"), "");
    EXPECT_EQ(BaseNameOf("cap.csv"), "cap.csv");
    EXPECT_EQ(BaseNameOf("/tmp/x/"), "");
}

TEST(PathParts, OutputsOfABareFileNameLandInTheWorkingFolder) {
    const auto cwd = std::filesystem::current_path();
    EXPECT_EQ(SiblingPath("cap.csv", "capPlot.png"), (cwd / "capPlot.png").string());
    EXPECT_EQ(SiblingPath("/data/run 1 /cap.csv", "cap.html"), "/data/run 1 /cap.html");
}

TEST(ToolboxGlobals, VerdictCodesAreDistinctAndTimeStampHasTheFixedForm) {
    const CToolboxRecord a = CToolboxGlobals().GetGlobals();
    const CToolboxRecord b = CToolboxGlobals().GetGlobals();
    EXPECT_EQ(a.m_strBody, b.m_strBody);
    EXPECT_EQ(a.m_nNoData, 4);
    EXPECT_NE(a.m_nPass, a.m_nWaived);
    EXPECT_NE(a.m_nFail, a.m_nNoData);
    EXPECT_EQ(a.m_strPassFont, a.m_strWaiverFont);

    std::tm when{};
    when.tm_year = 2026 - 1900;
    when.tm_mon = 11;
    when.tm_mday = 7;
    when.tm_hour = 4;
    when.tm_min = 2;
    when.tm_sec = 21;
    when.tm_isdst = -1;
    const std::string stamp = ReportTimeStamp(std::mktime(&when));
    EXPECT_EQ(stamp, "Mon Dec  7 04:02:21 2026\n");
    EXPECT_EQ(stamp.size(), 25u);
}
