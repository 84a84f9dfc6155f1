#include <limits>

#include "ScopeFileSupport.h"
#include "input/CReadKeysightBin.h"
#include "scopefiles/CWriteKeysightBin.h"

using namespace scopefiles;

namespace {

// Field offsets in a one-buffer file: waveform header at 12, data header at 152.
constexpr std::size_t kInterval = 12 + 32;
constexpr std::size_t kBufferBytes = 152 + 8;

struct Capture {
    int32_t m_nKind = 0;
    std::vector<double> m_Time, m_First, m_Second{1.0};
};

Capture Read(const std::string& path) {
    Capture c;
    c.m_nKind = CReadKeysightBin().Read(path, c.m_Time, c.m_First, c.m_Second);
    return c;
}

}  // namespace

TEST(KeysightBin, SingleChannelCapturesGiveOneTraceFromTheScopesOwnOrigin) {
    // A digital channel saved beside CH1 is not taken for a second trace.
    const std::pair<const char*, Figures> truth[] = {
        {"keysight_dsox1102g_ch1_1953pts.bin",
         {1953, -0.001, 0.000998848, -0.0080402, -0.0080402, -0.522613, 0.498492}},
        {"keysight_dsox1102g_ch1_2000pts.bin",
         {2000, -0.000500063, 0.000499437, 1.84925, 1.80905, -2.09045, 1.92965}},
        {"keysight_dsox1102g_ch1_plus_ext_digital_20000pts.bin",
         {20000, -1e-05, 9.999e-06, -2.76382, -3.16583, -15.2261, 12.5126}},
    };
    for (const auto& [name, figures] : truth) {
        SCOPED_TRACE(name);
        const Capture c = Read(Fixture("keysight_bin", name));
        EXPECT_EQ(c.m_nKind, 2);
        EXPECT_TRUE(c.m_Second.empty());
        ExpectFigures(c.m_Time, c.m_First, figures);
    }
}

TEST(KeysightBin, TwoAnalogChannelsGiveAPairOnTheFirstChannelsTimeAxis) {
    const Capture c = Read(Fixture("keysight_bin", "keysight_dsox1102g_ch1_ch2_4000pts.bin"));
    EXPECT_EQ(c.m_nKind, 3);
    ExpectFigures(c.m_Time, c.m_First,
                  {4000, -1e-06, 9.995e-07, 0.180904, 0.180904, -2.87437, 2.75377});
    ExpectFigures(c.m_Time, c.m_Second,
                  {4000, -1e-06, 9.995e-07, 1.51759, -1.57789, -1.61809, 1.59799});
}

TEST(KeysightBin, ForeignFilesAreRejectedByName) {
    // The XML description of a Rohde & Schwarz capture shares the extension.
    for (const std::string base : {"rs_rtp_float32_1ch", "rs_rtp_float32_2ch", "rs_rtp_int8_1ch",
                                   "rs_rtp_xydouble_1ch", "rs_rtp_xydouble_2ch"}) {
        EXPECT_EQ(
            FailureOf([&] { Read(Fixture("rs_bin", base + ".bin")); }),
            base + ".bin is not a Keysight waveform; its samples are in " + base + ".Wfm.bin");
    }
    EXPECT_EQ(FailureOf([] { Read(Fixture("tek_wfm", "tek_sample_1_int8_1000pts.wfm")); }),
              "tek_sample_1_int8_1000pts.wfm is not a Keysight waveform file");
    EXPECT_EQ(FailureOf([] { Read("/nonexistent/folder/capture.bin"); }),
              "No such file or directory: capture.bin");
}

TEST(KeysightBin, HeadersThatPromiseMoreThanTheFileHoldsFailClearly) {
    ScratchFolder folder;
    const std::string source = Fixture("keysight_bin", "keysight_dsox1102g_ch1_1953pts.bin");

    const std::string huge = folder.Copy(source, "huge.bin");
    ScratchFolder::Patch<int32_t>(huge, kBufferBytes, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FailureOf([&] { Read(huge); }),
              "File huge.bin is truncated: 2147483647 data bytes declared, 7812 present");

    const std::string negative = folder.Copy(source, "negative.bin");
    ScratchFolder::Patch<int32_t>(negative, kBufferBytes, -4);
    EXPECT_EQ(FailureOf([&] { Read(negative); }),
              "File negative.bin has a damaged waveform header");

    // A second waveform announced but never written.
    const std::string missing = folder.Copy(source, "missing.bin");
    ScratchFolder::Patch<int32_t>(missing, 8, 1000000);
    EXPECT_EQ(FailureOf([&] { Read(missing); }), "File missing.bin ends inside its header");

    const std::string cut = folder.Copy(source, "cut.bin");
    std::filesystem::resize_file(cut, 4000);
    EXPECT_EQ(FailureOf([&] { Read(cut); }),
              "File cut.bin is truncated: 7812 data bytes declared, 3836 present");

    for (double interval : {0.0, -1e-9, std::numeric_limits<double>::quiet_NaN()}) {
        const std::string flat = folder.Copy(source, "flat.bin");
        ScratchFolder::Patch<double>(flat, kInterval, interval);
        EXPECT_EQ(FailureOf([&] { Read(flat); }), "File flat.bin has no valid sample interval");
    }
}

TEST(KeysightBin, WrittenPairReadsBackSampleForSample) {
    ScratchFolder folder;
    std::vector<double> plus(5000), minus(5000);
    for (std::size_t i = 0; i < plus.size(); ++i) {
        plus[i] = 0.4 * std::sin(0.01 * static_cast<double>(i));
        minus[i] = -plus[i] + 0.125;
    }
    const std::string path = folder.Path("pair.bin");
    CWriteKeysightBin().Write(path, -2.5e-7, 1e-10, plus, minus);
    const Capture c = Read(path);
    EXPECT_EQ(c.m_nKind, 3);
    ASSERT_EQ(c.m_Second.size(), minus.size());
    EXPECT_DOUBLE_EQ(c.m_Time[0], -2.5e-7);
    EXPECT_NEAR(c.m_Time[4999], -2.5e-7 + 4999 * 1e-10, 1e-18);
    for (std::size_t i = 0; i < plus.size(); i += 97) {
        EXPECT_EQ(c.m_First[i], static_cast<double>(static_cast<float>(plus[i])));
        EXPECT_EQ(c.m_Second[i], static_cast<double>(static_cast<float>(minus[i])));
    }
}
