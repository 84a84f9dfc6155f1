#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "input/CInrushData.h"
#include "spec/CInrushConfig.h"
#include "synth/Synth.h"

namespace {

const CInrushSpec& Limits() {
    static const CInrushSpec spec = *CInrushConfig().BuildConfig();
    return spec;
}

}  // namespace

// The trace is kept as read, from text or a scope's binary file; the duration runs
// from the first sample at the threshold (the last sample when none reaches it), and
// a capture coarser than 1 MS/s is flagged.
TEST(InrushData, LoadsTheCurrentTraceItsDurationAndRate) {
    struct Case {
        const char* name;
        double rate, peak, baseline;
        int32_t lowRate;
    } const cases[] = {{"a.csv", 1e6, 1.0, 0.005, 0},
                       {"b.csv", 0.5e6, 1.0, 0.005, 1},
                       {"c.bin", 2.5e6, 1.0, 0.005, 0},
                       {"d.csv", 1e6, 0.03, 0.005, 0},
                       {"e.tsv", 1e6, 1.0, 0.5, 0}};
    const CTempFolder folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        synth::InrushParams p;
        p.m_dSampleRate = c.rate;
        p.m_dPeak = c.peak;
        p.m_dBaseline = c.baseline;
        p.m_dThreshold = 0.6;  // the synthesizer only asks the baseline to lie below it
        p.m_dVoltage = 4.9;
        const std::string path = folder.Path(c.name);
        const synth::SynthTruth truth =
            synth::WriteInrushCapture(p, path, synth::FormatOfPath(path));
        const CInrushRecord r = CInrushData().Load(Limits(), path, 4.9);
        ASSERT_EQ(r.m_nSamples, static_cast<int32_t>(truth.m_nSamples));
        ASSERT_EQ(r.m_Current.size(), truth.m_nSamples);
        const double span = r.m_Time.back() - r.m_Time.front();
        EXPECT_NEAR(r.m_dSampleRate, c.rate, 1e-6 * c.rate);
        EXPECT_EQ(r.m_nLowRate, c.lowRate);
        EXPECT_EQ(r.m_dVoltage, 4.9);
        EXPECT_EQ(r.m_strFile, path);
        const double expected = c.baseline >= 0.1 ? span
                                : c.peak < 0.1    ? 0.0
                                                  : r.m_Time.back() - p.m_dAttachTime;
        EXPECT_NEAR(r.m_dDuration, expected, 2.0 / c.rate);
    }
}

TEST(InrushData, UnusableFilesFailWithTheirReason) {
    const CTempFolder folder;
    struct Case {
        const char* name;
        const char* content;
        std::string text;
    } const cases[] = {
        {"three.csv", "0,1,2\n1e-6,1,2\n",
         "Error: File three.csv has 3 columns.\nCan only have 2 for Inrush measurement."},
        {"empty.csv", "", "Error: File empty.csv holds fewer than 2 data rows."},
        {"one.csv", "0,1\n", "Error: File one.csv holds fewer than 2 data rows."},
        {"back.csv", "1e-6,1\n0,1\n", "Sample times do not increase at the start of the capture"},
        {"pair.bin", nullptr, "An inrush capture holds one current trace"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.content)
            std::ofstream(folder.Path(c.name)) << c.content;
        else  // a D+/D- pair: two traces and no current
            synth::WriteSingleEndedCapture({}, folder.Path(c.name), synth::FileFormat::KeysightBin);
        try {
            CInrushData().Load(Limits(), folder.Path(c.name), 5.0);
            ADD_FAILURE() << "loaded";
        } catch (const CAnalysisError& e) {
            EXPECT_EQ(e.Text(), c.text);
        }
    }
}
