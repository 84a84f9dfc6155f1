#include "ScopeFileSupport.h"
#include "input/CReadRandSbin.h"
#include "scopefiles/CWriteRandSbin.h"

using namespace scopefiles;

namespace {

struct Capture {
    int32_t m_nKind = 0;
    std::vector<double> m_Time, m_First, m_Second{1.0};
};

Capture Read(const std::string& path) {
    Capture c;
    c.m_nKind = CReadRandSbin().Read(path, c.m_Time, c.m_First, c.m_Second);
    return c;
}

Capture ReadFixture(const std::string& base) { return Read(Fixture("rs_bin", base + ".Wfm.bin")); }

// Copies a fixture pair as `name`.Wfm.bin and `name`.bin; returns the data path.
std::string CopyPair(const ScratchFolder& folder, const std::string& base,
                     const std::string& name) {
    folder.Copy(Fixture("rs_bin", base + ".bin"), name + ".bin");
    return folder.Copy(Fixture("rs_bin", base + ".Wfm.bin"), name + ".Wfm.bin");
}

void EditDescription(const std::string& path, const std::string& from, const std::string& to) {
    const std::vector<char> bytes = ScratchFolder::Bytes(path);
    std::string text(bytes.begin(), bytes.end());
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), to);
    ScratchFolder::Save(path, {text.begin(), text.end()});
}

const Figures kFloatCh1{4000, -0.0025, 0.00249875, -0.0316206, 1.02767, -0.0632411, 1.0751};

}  // namespace

TEST(RandSbin, SingleChannelExportsAreDecodedByTheirSignalFormat) {
    const Capture f = ReadFixture("rs_rtp_float32_1ch");
    EXPECT_EQ(f.m_nKind, 2);
    EXPECT_TRUE(f.m_Second.empty());
    ExpectFigures(f.m_Time, f.m_First, kFloatCh1);

    // 8-bit codes scaled by volts per division over quantisation levels give the same capture.
    const Capture i8 = ReadFixture("rs_rtp_int8_1ch");
    EXPECT_EQ(i8.m_nKind, 2);
    ExpectFigures(i8.m_Time, i8.m_First, kFloatCh1);

    const Capture xy = ReadFixture("rs_rtp_xydouble_1ch");
    ExpectFigures(xy.m_Time, xy.m_First,
                  {4000, -5.24e-08, 4.7575e-08, -0.000286438, -1.47e-05, -0.0598838, 0.00194306});
}

TEST(RandSbin, TwoChannelExportsAreSplitIntoAPair) {
    const Capture f = ReadFixture("rs_rtp_float32_2ch");
    EXPECT_EQ(f.m_nKind, 3);
    ExpectFigures(f.m_Time, f.m_First, kFloatCh1);
    ExpectFigures(f.m_Time, f.m_Second,
                  {4000, -0.0025, 0.00249875, -0.221344, 0, -0.284585, 0.237154});

    const Capture xy = ReadFixture("rs_rtp_xydouble_2ch");
    EXPECT_EQ(xy.m_nKind, 3);
    ExpectFigures(
        xy.m_Time, xy.m_First,
        {4000, -5.24e-08, 4.7575e-08, -0.000286438, -1.46986e-05, -0.0598838, 0.00194306});
    ExpectFigures(xy.m_Time, xy.m_Second,
                  {4000, -5.24e-08, 4.7575e-08, 0.00119874, 0.00152544, 0.000436023, 0.00209485});
}

TEST(RandSbin, DescriptionIsFoundBesideTheDataAndReadByAttribute) {
    ScratchFolder folder;
    const std::string data = CopyPair(folder, "rs_rtp_float32_1ch", "Capture");
    std::filesystem::rename(data, folder.Path("Capture.Wfm.Bin"));
    const std::string header = folder.Path("Capture.bin");

    // A name in other case counts; spaces and '>' inside quotes do not split an
    // element; a repeated name keeps its first value.
    EditDescription(header, "<Prop Avail=\"0\" ValueKey=\"\" Name=\"SourceType\"",
                    "<Prop Note=\"a > b, c d\" Name=\"signalresolution\" Value=\"2.5e-06\"/>\n"
                    "<Prop Avail=\"0\" ValueKey=\"\" Name=\"SourceType\"");
    EditDescription(header, "</Database>",
                    "<Prop Avail=\"0\" Name=\"RecordLength\" Value=\"10\"/></Database>");
    const Capture c = Read(folder.Path("Capture.Wfm.Bin"));
    ASSERT_EQ(c.m_First.size(), 4000u);
    EXPECT_NEAR(c.m_Time.back(), -0.0025 + 3999 * 2.5e-6, 1e-15);
}

TEST(RandSbin, DescriptionsThatDoNotFitTheDataFailClearly) {
    ScratchFolder folder;
    EXPECT_EQ(FailureOf([&] { Read(folder.Path("alone.Wfm.bin")); }),
              "No such file or directory: alone.bin");

    struct Edit {
        const char *m_strBase, *m_strName, *m_strFrom, *m_strTo, *m_strFailure;
    };
    const Edit edits[] = {
        {"rs_rtp_float32_1ch", "longer", "RecordLength\" Value=\"4000",
         "RecordLength\" Value=\"4070",
         "File longer.Wfm.bin is truncated: 16280 data bytes declared, 16128 present"},
        {"rs_rtp_float32_1ch", "negative", "RecordLength\" Value=\"4000",
         "RecordLength\" Value=\"-4000",
         "File negative.Wfm.bin: its description gives no valid record length"},
        {"rs_rtp_float32_1ch", "skip", "LeadingSettlingSamples\" Value=\"38",
         "LeadingSettlingSamples\" Value=\"4000",
         "File skip.Wfm.bin is truncated: 16000 data bytes declared, 280 present"},
        {"rs_rtp_float32_1ch", "flat", "SignalResolution\" Value=\"1.25e-06",
         "SignalResolution\" Value=\"0", "File flat.Wfm.bin has no valid sample interval"},
        {"rs_rtp_float32_1ch", "int16", "Value=\"eRS_SIGNAL_FORMAT_FLOAT",
         "Value=\"eRS_SIGNAL_FORMAT_INT16BIT",
         "File int16.Wfm.bin: sample format INT16BIT is not read"},
        {"rs_rtp_float32_2ch", "four", "I_2=\"eRS_ONOFF_OFF\" I_3=\"eRS_ONOFF_OFF",
         "I_2=\"eRS_ONOFF_ON\" I_3=\"eRS_ONOFF_ON",
         "File four.Wfm.bin holds 4 channels; one or two can be read"},
    };
    for (const Edit& edit : edits) {
        const std::string data = CopyPair(folder, edit.m_strBase, edit.m_strName);
        EditDescription(folder.Path(std::string(edit.m_strName) + ".bin"), edit.m_strFrom,
                        edit.m_strTo);
        EXPECT_EQ(FailureOf([&] { Read(data); }), edit.m_strFailure);
    }

    // A large file that shares the description's name is not read as text.
    const std::string data = CopyPair(folder, "rs_rtp_float32_1ch", "large");
    std::filesystem::resize_file(folder.Path("large.bin"), std::size_t{1} << 30);
    EXPECT_EQ(FailureOf([&] { Read(data); }),
              "File large.bin is too large for a waveform description");
}

TEST(RandSbin, WrittenPairReadsBackSampleForSample) {
    ScratchFolder folder;
    std::vector<double> plus(2500), minus(2500);
    for (std::size_t i = 0; i < plus.size(); ++i) {
        plus[i] = 3.3 * ((i / 50) % 2);
        minus[i] = 3.3 - plus[i];
    }
    const std::string path = folder.Path("pair.Wfm.bin");
    CWriteRandSbin().Write(path, -1e-6, 8e-10, plus, minus);
    const Capture c = Read(path);
    EXPECT_EQ(c.m_nKind, 3);
    EXPECT_EQ(c.m_Second.size(), minus.size());
    for (std::size_t i = 0; i < plus.size(); i += 13) {
        EXPECT_EQ(c.m_First[i], static_cast<double>(static_cast<float>(plus[i])));
        EXPECT_EQ(c.m_Second[i], static_cast<double>(static_cast<float>(minus[i])));
    }
    EXPECT_DOUBLE_EQ(c.m_Time[2499], -1e-6 + 2499 * 8e-10);
}
