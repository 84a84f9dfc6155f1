// One synthesized high-speed capture, written as CSV and in each binary scope
// format, run through the whole signal-quality analysis: the report figures
// must agree, up to what the binary encodings themselves change.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CUsbSigCheck.h"
#include "synth/Synth.h"

namespace {

namespace fs = std::filesystem;

// The numbers of one report line, keyed by the text that opens it.
using Figures = std::map<std::string, std::vector<double>>;

const std::vector<std::string> kFigureLines = {
    "Measured signaling rate:",  "EOP width:",
    "Consecutive jitter range:", "Paired JK jitter range:",
    "Paired KJ jitter range:",   "Rising Edge Rate:",
    "Falling Edge Rate:",        "Margin Above eye:",
    "Margin Below eye:",         "Maximum Voltage:",
    "Margin Below Top:",         "Minimum Voltage:",
    "Margin Above Bottom:"};

std::vector<double> NumbersIn(const std::string& text) {
    std::vector<double> numbers;
    for (const char* p = text.c_str(); *p != '\0';) {
        char* end = nullptr;
        const bool starts = (*p == '-' && std::isdigit(static_cast<unsigned char>(p[1]))) ||
                            std::isdigit(static_cast<unsigned char>(*p));
        const double value = starts ? std::strtod(p, &end) : 0.0;
        if (starts && end != p) {
            numbers.push_back(value);
            p = end;
        } else {
            ++p;
        }
    }
    return numbers;
}

Figures ReportFigures(const fs::path& report) {
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    Figures figures;
    std::string line;
    while (std::getline(text, line)) {
        for (const std::string& key : kFigureLines) {
            const std::size_t at = line.find(key);
            if (at == std::string::npos) continue;
            figures[key] = NumbersIn(line.substr(at + key.size()));
        }
    }
    return figures;
}

fs::path WriteCapture(const synth::HighSpeedParams& params, const fs::path& folder,
                      const std::string& name, synth::SynthTruth& truth) {
    const fs::path path = folder / name;
    truth = synth::WriteHighSpeedCapture(params, path.string(), synth::FormatOfPath(path.string()));
    return path;
}

Figures RunAndRead(const fs::path& path, const std::string& testType, const fs::path& second = {}) {
    CUsbSigCheck().Run(path.string(), testType, second.string(), 0, 0, false);
    const std::string name = path.filename().string();
    return ReportFigures(path.parent_path() / (name.substr(0, name.rfind('.')) + ".html"));
}

// How far a figure may move when the samples change by up to `volts`:
// `perVolt` of its printed unit per volt, plus one unit of its last printed digit.
struct Allowance {
    double m_dPerVolt;
    double m_dPrintStep;
};

void ExpectSameFigures(const Figures& csv, const Figures& binary,
                       const std::map<std::string, Allowance>& allowances, double volts,
                       const std::string& name) {
    ASSERT_EQ(binary.size(), csv.size()) << name;
    for (const auto& [key, expected] : csv) {
        const std::vector<double>& got = binary.at(key);
        ASSERT_EQ(got.size(), expected.size()) << name << " " << key;
        const Allowance& a = allowances.at(key);
        for (std::size_t i = 0; i < got.size(); ++i) {
            const double slack = a.m_dPerVolt * volts + a.m_dPrintStep;
            EXPECT_NEAR(got[i], expected[i], slack) << name << " " << key << " #" << i;
        }
    }
}

}  // namespace

TEST(BinaryCaptureRun, EveryScopeFormatReportsTheFiguresOfTheCsvCapture) {
    const CTempFolder folder("velkin_binary_capture_run_");
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 2;
    params.m_Traffic.m_nPayloadBytes = 16;
    params.m_Traffic.m_Jitter.m_dRandomRms = 4e-12;
    params.m_Traffic.m_dNoiseRms = 0.004;
    params.m_Traffic.m_dStartTime = -1.234567e-7;
    params.m_Traffic.m_nSeed = 7;

    synth::SynthTruth truth;
    const Figures csv =
        RunAndRead(WriteCapture(params, folder.Path(), "hs_csv.csv", truth), "hsne");
    ASSERT_EQ(csv.size(), kFigureLines.size());
    EXPECT_NEAR(csv.at("Measured signaling rate:").at(0), 480.0, 0.01);

    // An edge moved by dv volts moves by dv / slope in time. Jitter and EOP
    // width are differences of two edges; an edge rate is timed between the
    // eye levels, so its relative change is two edge errors over that span.
    const double slope = std::min(truth.m_dRiseRate, truth.m_dFallRate) * 1e6;  // V/s
    const double edgePsPerVolt = 1e12 / slope;
    const double rateSpan = truth.m_dEyeLevelHigh - truth.m_dEyeLevelLow;
    const double rise = csv.at("Rising Edge Rate:").at(0);
    const double fall = csv.at("Falling Edge Rate:").at(0);
    const double riseTime = csv.at("Rising Edge Rate:").at(1);
    const double fallTime = csv.at("Falling Edge Rate:").at(1);
    const Allowance eye{1000.0, 1e-4};                // mV with four decimals
    const Allowance jitter{2 * edgePsPerVolt, 1e-3};  // ps with three decimals
    std::map<std::string, Allowance> allowances = {
        // Bits with two decimals; two edges move by well under a femtosecond.
        {"EOP width:", {0.0, 0.01}},
        // MHz with four decimals. The .trc interval is a float32 (relative
        // error up to 3e-8, 15 Hz at 480 MHz), every other format stores it
        // exactly; neither shows beyond the last digit.
        {"Measured signaling rate:", {0.0, 1e-4}},
        {"Consecutive jitter range:", jitter},
        {"Paired JK jitter range:", jitter},
        {"Paired KJ jitter range:", jitter},
        {"Margin Above eye:", eye},
        {"Margin Below eye:", eye},
        {"Maximum Voltage:", eye},
        {"Margin Below Top:", eye},
        {"Minimum Voltage:", eye},
        {"Margin Above Bottom:", eye}};

    // Float32 samples differ from the CSV's six significant digits by at most
    // half a microvolt at these levels (the float32 rounding is 30 nV): 1 uV
    // covers both roundings.
    constexpr double kFloatVolts = 1e-6;
    for (const std::string name :
         {"hs_keysight.bin", "hs_rs.Wfm.bin", "hs_tek.wfm", "hs_lecroy.trc"}) {
        synth::SynthTruth written;
        const fs::path path = WriteCapture(params, folder.Path(), name, written);
        // int16 codes are within half a step of the true sample, the CSV
        // within half a microvolt: one whole step covers both.
        const double volts = written.m_dInt16Step > 0.0 ? written.m_dInt16Step : kFloatVolts;
        ASSERT_LT(volts, 2e-5) << name;  // 1.25 x the swing over 65536 codes
        allowances["Rising Edge Rate:"] = {2.0 / rateSpan * std::max(rise, riseTime), 0.01};
        allowances["Falling Edge Rate:"] = {2.0 / rateSpan * std::max(fall, fallTime), 0.01};
        ExpectSameFigures(csv, RunAndRead(path, "hsne"), allowances, volts, name);
    }
}
