// The exports as a caller sees them, through the shared library and its public
// header: one result text, empty when the analysis ran to the end.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <tuple>

#include "CTempFolder.h"
#include "ResultSchema.h"
#include "synth/Synth.h"
#include "velkin.h"

namespace fs = std::filesystem;

namespace {

// `rows` lines `interval` apart, each trace constant at its level.
std::string Rows(double interval, std::initializer_list<double> levels, int rows = 100) {
    std::ostringstream text;
    text.precision(10);
    for (int i = 0; i < rows; ++i) {
        text << i * interval;
        for (const double volts : levels) text << ',' << volts;
        text << '\n';
    }
    return text.str();
}

// Full-speed line states, a letter per bit (J, K, E for SE0) at 12 Mbit/s, as D+
// and D- sampled at 4 GS/s.
std::string FullSpeedRows(const std::string& states) {
    std::ostringstream rows;
    rows.precision(10);
    for (std::size_t i = 0; i < states.size() * 1000 / 3; ++i) {
        const char state = states[i * 3 / 1000];
        rows << i / 4e9 << ',' << 3.3 * (state == 'J') << ',' << 3.3 * (state == 'K') << '\n';
    }
    return rows.str();
}

}  // namespace

TEST(Exports, AnswerThroughOneResultTextClearedOnEveryCall) {
    const char* first = UsbSigCheck("", "hsne", "", 0, 0);
    EXPECT_STREQ(first, "Please select a data file.");
    EXPECT_EQ(UsbInrushCheck("", 5.0, 0), first);
    EXPECT_STREQ(first, "No data file specified");
    EXPECT_EQ(eUsbSigCheck(nullptr, "hsne", nullptr, 7, 0), first);
    EXPECT_STREQ(first, "Please select a data file.");

    // After a failure, a capture with a packet gets an empty text and its report
    // beside it; the repeater report carries its own title.
    const CTempFolder folder;
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 1;
    synth::WriteHighSpeedCapture(params, folder.Path("hs.csv"), synth::FileFormat::Csv);
    EXPECT_STREQ(UsbSigCheck(folder.Path("hs.csv").c_str(), "hsne", "", 0, 0), "");
    EXPECT_STREQ(UsbSigCheck("", "hsne", "", 0, 0), "Please select a data file.");
    EXPECT_STREQ(eUsbSigCheck(folder.Path("hs.csv").c_str(), "ehsrep", "", 0, 1), "");
    EXPECT_NE(Slurp(folder.Path("hs.html")).find("eUSB High Speed Repeater Signal Quality Test"),
              std::string::npos);
}

// A capture that cannot be judged is turned away with its exact reason, whichever
// stage stops it, and leaves no report or plot behind.
TEST(Exports, TurnAwayWhatCannotBeJudgedWithItsReasonAndNoReport) {
    // Line states that step from J to K between two samples leave no edge to time:
    // the capture is too coarse for its edges.
    const std::string stepped = FullSpeedRows("JJJJJJJJJJKJKJKJKKEE" + std::string(20, 'J'));
    const std::string tooCoarse =
        "Sample rate too low for the edges in cap.csv: increase the oscilloscope sample rate";
    struct Case {
        std::string test;     // a signal test or a repeater test
        std::string capture;  // "": none
        std::string reason;
        std::string file = "cap.csv";
    };
    const Case cases[] = {
        {"fsfe", "", "Unknown test type: fsfe"},
        // Names too long for the 99 characters of a result are cut to fit.
        {"hsne", "0,0\n", "Unknown file type " + std::string(81, 'n'),
         std::string(200, 'n') + ".xyz"},
        {"hsne", "", "File name too long: " + std::string(79, 'm'), std::string(300, 'm') + ".csv"},
        {"hsne", Rows(1.25e-10, {0.0}, 1000), "No Packets Found\nVerify Test type"},
        // A one-second gap in a clean high-speed record, and a scope's off-screen mark.
        {"hsne", Rows(1.25e-10, {0.0}, 60) + "1.0000001,0\n",
         "Error: File cap.csv row 61 breaks the even time step of 1.25e-10 s."},
        {"hsne", Rows(1.25e-10, {0.0}, 60) + "7.5e-9,9.9e37\n",
         "Error: File cap.csv row 61 holds the mark of a sample taken off screen."},
        // Ten samples a second would need 4e8 times as many points at full speed.
        {"fs", Rows(0.1, {3.3, 0.0}),
         "Sample rate too low: up-sampling by 400000000 would exceed 200000000 samples"},
        {"fs", stepped, tooCoarse},
        {"efsrep", stepped, tooCoarse},
        // A full-speed packet that opens with its SE0: no data state precedes the EOP.
        {"fs",
         FullSpeedRows(std::string(10, 'J') + "KJKKEE" + std::string(20, 'J') + "EEKJKJKEE" +
                       std::string(20, 'J')),
         "EOP not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.test + ": " + c.reason);
        const CTempFolder folder;
        const std::string path = folder.Path(c.file);
        if (!c.capture.empty()) std::ofstream(path) << c.capture;
        const std::string result = c.test.starts_with("e")
                                       ? eUsbSigCheck(path.c_str(), c.test.c_str(), "", 0, 1)
                                       : UsbSigCheck(path.c_str(), c.test.c_str(), "", 0, 0);
        EXPECT_EQ(result, c.reason);
        for (const auto& entry : fs::directory_iterator(folder.Path()))
            EXPECT_TRUE(entry.path().extension() != ".html" && entry.path().extension() != ".png")
                << entry.path();
    }
}

// An attach current of known charge through the export: the charge above 0.1 A lies
// between the limits at 4.75 V (52.25 uC) and at 5 V (55 uC), so the supply voltage
// given decides the verdict; below 4.4 V the supply itself fails. The report, the
// current plot and the result record land beside the capture and agree.
TEST(Exports, InrushChargeIsJudgedAtTheSupplyVoltageGiven) {
    const CTempFolder folder;
    const std::string path = folder.Path("attach.csv");
    const synth::SynthTruth truth =
        synth::WriteInrushCapture({.m_dPeak = 1.25}, path, synth::FileFormat::Csv);
    ASSERT_GT(truth.m_dCharge * 1e6, 52.5);
    ASSERT_LT(truth.m_dCharge * 1e6, 54.9);
    for (const auto& [volts, verdict, overall] : {std::tuple{5.0, "Inrush passes", "pass"},
                                                  {4.75, "*** waiver granted ***", "waived"},
                                                  {4.0, "4.000 V is outside", "fail"}}) {
        ASSERT_STREQ(UsbInrushCheck(path.c_str(), volts, 0), "");
        EXPECT_NE(Slurp(folder.Path("attach.html")).find(verdict), std::string::npos) << volts;
        EXPECT_TRUE(fs::exists(folder.Path("attachPlot.png")));
        const nlohmann::json result = nlohmann::json::parse(Slurp(folder.Path("attach.json")));
        EXPECT_EQ(result["overall"], overall) << volts;
        EXPECT_NEAR(result["checks"][0]["value"].get<double>(), truth.m_dCharge * 1e6 / volts,
                    truth.m_dCharge * 1e6 / volts * 0.02);
        EXPECT_EQ(result["checks"][2]["verdict"], volts > 4.4 ? "pass" : "fail") << volts;
        EXPECT_EQ(ResultSchemaErrors(folder.Path()), "");
    }
}

// A host whose locale writes decimal commas, as a desktop set to German does: scope
// descriptions still read, and the report still writes its figures with a point.
TEST(Exports, FiguresKeepTheirDecimalPointInADecimalCommaHost) {
    const CTempFolder folder, locales;
    const std::string make =
        "localedef -i de_DE -f UTF-8 " + locales.Path("de_DE.UTF-8") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << "localedef (the locales package) is needed";
    setenv("LOCPATH", locales.Path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    char comma[16];
    std::snprintf(comma, sizeof comma, "%.1f", 1.5);
    EXPECT_STREQ(comma, "1,5");

    const std::string path = folder.Path("hs.Wfm.bin");
    synth::WriteHighSpeedCapture({}, path, synth::FileFormat::RandSbin);
    const std::string result = UsbSigCheck(path.c_str(), "hsne", "", 0, 0);
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    ASSERT_EQ(result, "");
    std::ostringstream html;
    html << std::ifstream(folder.Path("hs.Wfm.html")).rdbuf();
    EXPECT_TRUE(std::regex_search(html.str(), std::regex("rate: 4[78][0-9]\\.[0-9]+ MHz")));
    EXPECT_FALSE(std::regex_search(html.str(), std::regex("[0-9],[0-9]")));
}

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER
#endif
#endif

// A capture longer than the memory the process may take is refused with its size, not
// as an unknown failure: the analysis runs in a child held to a little more memory
// than it has, on ten million samples that need several times that.
TEST(Exports, CaptureBeyondTheMemoryAllowedIsRefusedWithItsSize) {
#ifdef UNDER_ADDRESS_SANITIZER
    // AddressSanitizer reserves its shadow memory up front and ends the process when an
    // allocation fails, where a plain build throws: an address-space limit says nothing there.
    GTEST_SKIP() << "An address-space limit cannot be tested under AddressSanitizer";
#endif
    const CTempFolder folder;
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 0;
    params.m_Traffic.m_nSamples = 10'000'000;
    const std::string path = folder.Path("long.bin");
    synth::WriteHighSpeedCapture(params, path, synth::FileFormat::KeysightBin);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::ifstream status("/proc/self/status");
        std::string line;
        long usedKb = 0;
        while (std::getline(status, line))
            if (line.starts_with("VmSize:")) usedKb = std::stol(line.substr(7));
        const rlimit limit{static_cast<rlim_t>(usedKb + 60'000) * 1024,
                           static_cast<rlim_t>(usedKb + 60'000) * 1024};
        setrlimit(RLIMIT_AS, &limit);
        std::ofstream(folder.Path("result")) << UsbSigCheck(path.c_str(), "hsne", "", 0, 0);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    std::ostringstream result;
    result << std::ifstream(folder.Path("result")).rdbuf();
    EXPECT_EQ(result.str(), "Not enough memory to analyse long.bin (10000000 samples)");
}
