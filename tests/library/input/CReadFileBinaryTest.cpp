// Binary scope files reached through ReadWaveform: the extension picks the
// reader, one file gives its trace kind, and a D+/D- pair keeps the first
// trace of each file.
#include "ScopeFileSupport.h"
#include "input/CReadFile.h"
#include "scopefiles/CWriteKeysightBin.h"
#include "scopefiles/CWriteLecroyTrc.h"

using namespace scopefiles;

namespace {

struct Waveform {
    int32_t m_nKind = 0;
    std::vector<double> m_Time, m_Diff, m_First, m_Second;
};

Waveform Read(const std::string& path, const std::string& other = "") {
    Waveform w;
    w.m_nKind =
        CReadFile().ReadWaveform(path, w.m_Time, w.m_Diff, w.m_First, w.m_Second, other, false);
    return w;
}

// A line toggling between 0 and 3.3 V every 40 samples, as D+ of a full-speed bus.
std::vector<double> Line(std::size_t count, bool inverted) {
    std::vector<double> volts(count);
    for (std::size_t i = 0; i < count; ++i) volts[i] = ((i / 40) % 2 == 0) != inverted ? 3.3 : 0.0;
    return volts;
}

}  // namespace

TEST(BinaryWaveforms, OneFileGivesOneDifferentialTraceOrItsTwoChannels) {
    const Waveform tek = Read(Fixture("tek_wfm", "tek_tekscope_sine_int16_1000pts.wfm"));
    EXPECT_EQ(tek.m_nKind, 2);
    EXPECT_TRUE(tek.m_First.empty());
    EXPECT_TRUE(tek.m_Second.empty());
    ExpectFigures(tek.m_Time, tek.m_Diff, {1000, -2e-08, 1.996e-08, -0.004, -0.008, -0.252, 0.244});

    const Waveform pair = Read(Fixture("keysight_bin", "keysight_dsox1102g_ch1_ch2_4000pts.bin"));
    EXPECT_EQ(pair.m_nKind, 3);
    EXPECT_TRUE(pair.m_Diff.empty());
    ExpectFigures(pair.m_Time, pair.m_First,
                  {4000, -1e-06, 9.995e-07, 0.180904, 0.180904, -2.87437, 2.75377});
    ExpectFigures(pair.m_Time, pair.m_Second,
                  {4000, -1e-06, 9.995e-07, 1.51759, -1.57789, -1.61809, 1.59799});

    // The data file of a Rohde & Schwarz capture has the double extension.
    const Waveform rs = Read(Fixture("rs_bin", "rs_rtp_float32_1ch.Wfm.bin"));
    EXPECT_EQ(rs.m_nKind, 2);
    EXPECT_EQ(rs.m_Diff.size(), 4000u);
}

TEST(BinaryWaveforms, APairOfFilesPutsTheDataFilesTraceSecondAndDropsEachFilesOtherChannel) {
    ScratchFolder folder;
    const std::vector<double> plus = Line(4000, false), minus = Line(4000, true);

    const std::string plusTrc = folder.Path("plus.trc"), minusTrc = folder.Path("minus.trc");
    CWriteLecroyTrc().Write(plusTrc, -1e-6, 5e-10, plus);
    CWriteLecroyTrc().Write(minusTrc, -1e-6, 5e-10, minus);
    const Waveform trc = Read(plusTrc, minusTrc);
    EXPECT_EQ(trc.m_nKind, 3);
    ASSERT_EQ(trc.m_Second.size(), plus.size());
    ASSERT_EQ(trc.m_First.size(), minus.size());
    for (std::size_t i = 0; i < plus.size(); i += 7) {
        // int16 codes over 1.25 times the largest sample: well inside a millivolt.
        ASSERT_NEAR(trc.m_Second[i], plus[i], 1e-3) << i;
        ASSERT_NEAR(trc.m_First[i], minus[i], 1e-3) << i;
    }

    // Each Keysight file holds two channels; only its first one is taken.
    const std::string data =
        folder.Copy(Fixture("keysight_bin", "keysight_dsox1102g_ch1_ch2_4000pts.bin"), "a.bin");
    const std::string other = folder.Path("b.bin");
    CWriteKeysightBin().Write(other, -1e-6, 5e-10, minus, plus);
    const Waveform bin = Read(data, other);
    EXPECT_EQ(bin.m_nKind, 3);
    ExpectFigures(bin.m_Time, bin.m_Second,
                  {4000, -1e-06, 9.995e-07, 0.180904, 0.180904, -2.87437, 2.75377});
    ASSERT_EQ(bin.m_First.size(), minus.size());
    for (std::size_t i = 0; i < minus.size(); i += 7)
        ASSERT_EQ(bin.m_First[i], static_cast<float>(minus[i])) << i;
}
