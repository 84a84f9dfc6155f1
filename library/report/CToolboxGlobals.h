#pragma once

#include <cstdint>
#include <ctime>
#include <string>

// Verdict codes and the HTML fragments every report is built from. The codes are
// not in slot order: compare against the fields, never against literals.
struct CToolboxRecord {
    int32_t m_nNotTested = 0;
    int32_t m_nPass = 0;
    int32_t m_nWaived = 0;
    int32_t m_nFail = 0;
    int32_t m_nCode8 = 0;
    int32_t m_nNoData = 0;
    int32_t m_nCode5 = 0;
    int32_t m_nCode6 = 0;
    int32_t m_nCode7 = 0;
    std::string m_strBody;
    std::string m_strComplianceUrl;
    std::string m_strHeadingFont;
    std::string m_strFailFont;
    std::string m_strPassFont;
    std::string m_strTitleFont;
    std::string m_strWaiverFont;
    std::string m_strWarningFont;
    std::string m_strSpareFont;
};

class CToolboxGlobals {
public:
    CToolboxRecord GetGlobals() const;
};

// Shown under "Test version" in every report.
inline constexpr const char* kTestVersion = "2.20.00";

// The 24-character local time stamp of a report ("Mon Dec  7 04:02:21 2026"),
// followed by a newline.
std::string ReportTimeStamp(std::time_t when);

// The name of a file at the end of a path. Both "/" and "\" end a folder, so a
// path written on a Windows scope still names its file in a message.
std::string FileNameOf(const std::string& path);

// The path made absolute, so that a bare file name means one in the working folder
// (unchanged if the working folder cannot be read).
std::string AbsolutePath(const std::string& path);

// Where every output of one capture goes and what it is called: the folder the data
// file lies in, and its name up to the last full stop, so "/data/cap.csv" gives
// cap.html, capPlot.png, capEye.png and cap_sum.csv in /data, and
// "capture.wfm.bin" gives "capture.wfm.html". Only "/" ends a folder here: on this
// system "run1\cap.csv" is a capture of its own, and its outputs
// ("run1\cap.html", ...) stay beside it and apart from those of "cap.csv".
struct COutputNames {
    std::string m_strFolder;    // absolute; a bare data file name lies in the working folder
    std::string m_strDataName;  // the data file's own name
    std::string m_strStem;      // m_strDataName up to its last full stop

    // The output named `m_strStem + suffix`, in m_strFolder.
    std::string Path(const std::string& suffix) const;
};
COutputNames OutputNamesOf(const std::string& dataFile);
