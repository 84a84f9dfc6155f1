#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "synth/Synth.h"
#include "velkin.h"

namespace fs = std::filesystem;

namespace {

class ExportsInFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_Dir =
            fs::temp_directory_path() /
            ("velkin_exports_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_Dir);
    }
    void TearDown() override { fs::remove_all(m_Dir); }

    std::string Write(const std::string& name, const std::string& text) {
        const fs::path path = m_Dir / name;
        std::ofstream(path) << text;
        return path.string();
    }

    // `rows` data lines `interval` apart, each trace constant at its level.
    std::string Rows(const std::string& name, double interval, const std::vector<double>& levels,
                     int rows = 100) {
        std::string text;
        char field[32];
        for (int i = 0; i < rows; ++i) {
            std::snprintf(field, sizeof field, "%.9e", i * interval);
            text += field;
            for (const double volts : levels) {
                std::snprintf(field, sizeof field, ",%.3f", volts);
                text += field;
            }
            text += '\n';
        }
        return Write(name, text);
    }

    fs::path m_Dir;
};

}  // namespace

TEST(Exports, AnswerThroughOneResultTextClearedOnEveryCall) {
    const char* first = UsbSigCheck("", "hsne", "", 0, 0);
    EXPECT_STREQ(first, "Please select a data file.");
    const char* second = UsbInrushCheck("", 5.0, 0);
    EXPECT_STREQ(second, "No data file specified");
    EXPECT_EQ(first, second);
    EXPECT_EQ(first, eUsbSigCheck(nullptr, "hsne", nullptr, 7, 0));
    EXPECT_STREQ(first, "Please select a data file.");
    EXPECT_STREQ(UsbSigCheck("cap.csv", nullptr, "", 0, 0), "Unknown test type: ");
    EXPECT_STREQ(UsbSigCheck("cap.csv", "fsfe", "", 0, 0), "Unknown test type: fsfe");
}

TEST_F(ExportsInFolder, FileFailuresNameTheFileByItsNameOnly) {
    const std::string missing = (m_Dir / "gone.csv").string();
    EXPECT_STREQ(UsbSigCheck(missing.c_str(), "hsne", "", 0, 0),
                 "No such file or directory: gone.csv");

    const std::string odd = Write("cap.xyz", "0,0\n1,1\n");
    EXPECT_STREQ(UsbSigCheck(odd.c_str(), "hsne", "", 0, 0), "Unknown file type cap.xyz");

    const std::string wide = Write("wide.csv", "0,1,2,3\n1e-10,1,2,3\n2e-10,1,2,3\n");
    EXPECT_STREQ(UsbSigCheck(wide.c_str(), "hsne", "", 0, 0),
                 "Error: File wide.csv contains 4 columns.\nShould be 2 or 3.");

    // A name far longer than the result channel is shortened, never overflowed.
    const std::string longName = std::string(200, 'n') + ".xyz";
    const std::string longPath = Write(longName, "0,0\n");
    const std::string text = UsbSigCheck(longPath.c_str(), "hsne", "", 0, 0);
    EXPECT_LE(text.size(), 99u);
    EXPECT_EQ(text.rfind("Unknown file type nnn", 0), 0u);
    // Longer than any file name may be: the system's reason, and the name cut to fit.
    const std::string tooLong = (m_Dir / (std::string(300, 'm') + ".csv")).string();
    const std::string refused = UsbSigCheck(tooLong.c_str(), "hsne", "", 0, 0);
    EXPECT_LE(refused.size(), 99u);
    EXPECT_EQ(refused.rfind("File name too long: mmm", 0), 0u) << refused;
}

TEST_F(ExportsInFolder, QuietCaptureHasNoPacketsAndAFailedCallLeavesNoTraceOnTheNext) {
    std::string rows;
    char row[64];
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(row, sizeof row, "%.6e,0.0\n", i * 1.25e-10);
        rows += row;
    }
    const std::string quiet = Write("quiet.csv", rows);
    EXPECT_STREQ(UsbSigCheck(quiet.c_str(), "hsne", "", 0, 0),
                 "No Packets Found\nVerify Test type");
    EXPECT_FALSE(fs::exists(m_Dir / "quiet.html"));
    EXPECT_FALSE(fs::exists(m_Dir / "quietPlot.png"));

    // An analysis that is not built yet must not answer as if it had finished.
    EXPECT_STRNE(UsbInrushCheck(quiet.c_str(), 5.0, 0), "");

    const fs::path capture = m_Dir / "hs_pass.csv";
    fs::copy_file(fs::path(VELKIN_SOURCE_DIR) / "examples" / "hs_pass.csv", capture);
    EXPECT_STREQ(UsbSigCheck(capture.string().c_str(), "hsne", "", 0, 0), "");
    EXPECT_TRUE(fs::exists(m_Dir / "hs_pass.html"));
    EXPECT_TRUE(fs::exists(m_Dir / "hs_passPlot.png"));
    EXPECT_TRUE(fs::exists(m_Dir / "hs_passEye.png"));
}

TEST_F(ExportsInFolder, CaptureWithAPacketGetsItsReportAndBothPlotsBesideIt) {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 1;
    const std::string capture = (m_Dir / "hs.csv").string();
    synth::WriteHighSpeedCapture(params, capture, synth::FileFormat::Csv);
    EXPECT_STREQ(UsbSigCheck(capture.c_str(), "hsne", "", 0, 0), "");
    EXPECT_STREQ(eUsbSigCheck(capture.c_str(), "ehsrep", "", 0, 1), "");
    for (const char* name : {"hs.html", "hsPlot.png", "hsEye.png"})
        EXPECT_GT(fs::file_size(m_Dir / name), 1000u) << name;
    std::ifstream report(m_Dir / "hs.html");
    const std::string html{std::istreambuf_iterator<char>(report), {}};
    EXPECT_NE(html.find("eUSB High Speed Repeater Signal Quality Test"), std::string::npos);
    EXPECT_NE(html.find("<img src=\"hsPlot.png\">"), std::string::npos);
}

namespace {

// D+ and D- of full-speed line states (J, K, E for SE0), one letter per bit at
// 12 Mbit/s, sampled at 4 GS/s with 10 ns ramps between the 0 V and 3.3 V levels.
std::string FullSpeedRows(const std::string& states) {
    const double bit = 1.0 / 12e6;
    const double ramp = 10e-9;
    const auto plus = [](char s) { return s == 'J' ? 3.3 : 0.0; };
    const auto minus = [](char s) { return s == 'K' ? 3.3 : 0.0; };
    std::string rows;
    char row[64];
    const auto samples = static_cast<std::size_t>(states.size() * bit * 4e9);
    for (std::size_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / 4e9;
        const std::size_t k = std::min(static_cast<std::size_t>(t / bit), states.size() - 1);
        const char from = states[k > 0 ? k - 1 : 0];
        const double f = std::min((t - static_cast<double>(k) * bit) / ramp, 1.0);
        const char to = states[k];
        std::snprintf(row, sizeof row, "%.6e,%.4f,%.4f\n", t,
                      plus(from) + (plus(to) - plus(from)) * f,
                      minus(from) + (minus(to) - minus(from)) * f);
        rows += row;
    }
    return rows;
}

}  // namespace

// Packets that cannot be measured stop the run with their reason and leave no report.
TEST_F(ExportsInFolder, PacketsThatCannotBeMeasuredAnswerWithTheirReason) {
    // Two high-speed packets, the first cut off by the capture start (no whole SYNC
    // marks the idle before it); the second keeps two of its three transitions, too
    // few for the transitions that the unit interval skips at either end.
    synth::HighSpeedParams params;
    params.m_Traffic.m_Payload = {0xFF};
    params.m_nSyncBitsDropped = 29;
    const std::string few = (m_Dir / "few.csv").string();
    synth::WriteHighSpeedCapture(params, few, synth::FileFormat::Csv);
    EXPECT_STREQ(UsbSigCheck(few.c_str(), "hsne", "", 0, 0), "too few transitions in packet");
    EXPECT_STREQ(eUsbSigCheck(few.c_str(), "ehsrep", "", 0, 1), "too few transitions in packet");
    EXPECT_FALSE(fs::exists(m_Dir / "few.html"));

    // A full-speed packet that opens with its SE0: no data state precedes the EOP.
    const std::string se0 =
        Write("se0.csv", FullSpeedRows(std::string(10, 'J') + "KJKKEE" + std::string(20, 'J') +
                                       "EEKJKJKEE" + std::string(20, 'J')));
    EXPECT_STREQ(UsbSigCheck(se0.c_str(), "fs", "", 0, 0), "EOP not found");
}

TEST_F(ExportsInFolder, CapturesThatDoNotSuitTheTestAreTurnedAwayWithTheirReasonAndNoReport) {
    const auto check = [](const std::string& file, const char* type) {
        return std::string(UsbSigCheck(file.c_str(), type, "", 0, 0));
    };
    EXPECT_EQ(check(Rows("fast.csv", 5e-12, {0.0}), "hsne"), "Sample rate error");
    // Too coarse for any differential capture: said before the trace kind is held
    // against the speed.
    EXPECT_EQ(check(Rows("coarse.csv", 2e-9, {0.0}), "fs"), "Sample Rate Error: Check Test Type");
    const std::string differential = Rows("diff.csv", 1.25e-10, {0.0});
    EXPECT_EQ(check(differential, "fs"),
              "Error: Differential trace data is not supported for full speed signals");
    EXPECT_EQ(check(differential, "ls"),
              "Error: Differential trace data is not supported for low speed signals");
    EXPECT_EQ(check(Rows("pair.csv", 2.5e-10, {3.3, 0.0}), "hsne"),
              "Error: Single ended trace data is not supported for high speed signals");
    EXPECT_EQ(check(Rows("dead.csv", 2.5e-10, {0.0, 0.0}), "fs"),
              "Signal does not begin with idle");
    EXPECT_EQ(check(Rows("two.csv", 2.5e-10, {3.3, 0.0}, 2), "fs"),
              "Too few samples: a capture needs at least 3");
    EXPECT_EQ(check(Rows("flat.csv", 0.0, {3.3, 0.0}), "fs"),
              "Sample times do not increase at the start of the capture");
    // Ten samples a second would need 4e8 times as many points at full speed.
    EXPECT_EQ(check(Rows("slow.csv", 0.1, {3.3, 0.0}), "fs"),
              "Sample rate too low: up-sampling by 400000000 would exceed 200000000 samples");
    for (const auto& entry : fs::directory_iterator(m_Dir))
        EXPECT_EQ(entry.path().extension(), ".csv") << entry.path();
}
