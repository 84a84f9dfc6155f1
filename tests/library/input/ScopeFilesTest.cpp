// Scope files of every maker, read through ReadWaveform: the extension picks the
// reader, one trace gives kind 2 and a pair kind 3.
#include <limits>

#include "ScopeFileSupport.h"
#include "scopefiles/CWriteKeysightBin.h"
#include "scopefiles/CWriteLecroyTrc.h"
#include "scopefiles/CWriteRandSbin.h"
#include "scopefiles/CWriteTekWfm.h"

using namespace scopefiles;

namespace {

// The XML description X.bin beside the samples X.Wfm.bin of a Rohde & Schwarz export.
std::string Description(const std::string& data) {
    return data.substr(0, data.size() - 8) + ".bin";
}

// Replaces `from` by `to` in the description beside the data file.
Damage Describe(const std::string& from, const std::string& to) {
    return [=](const std::string& data) {
        std::string text = Slurp(Description(data));
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        Save(Description(data), text.replace(at, from.size(), to));
    };
}

// A writable copy of `from` at `to`, with its description when it has one.
std::string Copy(const std::string& from, const std::string& to) {
    const auto copy = [](const std::string& source, const std::string& target) {
        std::filesystem::copy_file(source, target);
        std::filesystem::permissions(target, std::filesystem::perms::owner_all);
    };
    copy(from, to);
    if (to.ends_with(".Wfm.bin") || to.ends_with(".WFM.BIN"))
        copy(Description(from), Description(to));
    return to;
}

// Samples of a line that swings by 0.4 V, in volts.
Values Wave(std::size_t count, double period, double phase = 0.0) {
    Values volts(count);
    for (std::size_t i = 0; i < count; ++i)
        volts[i] = 0.4 * std::sin(6.283185307179586 * static_cast<double>(i) / period + phase);
    return volts;
}

// Rewrites a WFM#003 file of one record as an older version: four-byte point densities
// in all four dimensions, and for #001 no summary-frame field, so later fields sit earlier.
void AsOlderTek(const std::string& path, char version) {
    std::string wfm = Slurp(path);
    for (std::size_t at : {624 + 112, 488 + 112, 328 + 136, 168 + 136}) {  // from the back
        const auto narrow = static_cast<float>(*reinterpret_cast<const double*>(&wfm[at]));
        std::memcpy(&wfm[at], &narrow, 4);
        wfm.erase(at + 4, 4);
    }
    const int32_t curve = version == '1' ? 820 : 822;
    if (version == '1') wfm.erase(154, 2);
    wfm[9] = version;
    std::memcpy(&wfm[16], &curve, 4);
    Save(path, wfm);
}

}  // namespace

TEST(ScopeFiles, RealExportsReadWithTheFiguresTheScopesWrote) {
    SKIP_WITHOUT_SCOPE_FIXTURES();
    // FastFrame and sequence files give their first frame, timed from its own trigger; a
    // digital channel beside CH1 is no second trace; LECROY_1_0 has its own layout; int8
    // codes scaled by volts per division over quantisation levels match the float export.
    struct Export {
        const char* m_strFile;
        Figures m_First, m_Second = {};  // a pair when m_Second is given
    };
    const Figures rs{4000, -0.0025, 0.00249875, -0.0316206, 1.02767, -0.0632411, 1.0751};
    const Figures rs2{4000, -0.0025, 0.00249875, -0.221344, 0, -0.284585, 0.237154};
    const Figures xy{4000, -5.24e-08, 4.7575e-08, -0.000286438, -1.47e-05, -0.0598838, 0.00194306};
    Figures xy1 = xy;
    xy1[4] = -1.46986e-05;
    const Figures xy2{4000, -5.24e-08, 4.7575e-08, 0.00119874, 0.00152544, 0.000436023, 0.00209485};
    const Export exports[] = {
        {"tek_tm_data_types_golden_int16_6pts.wfm",
         {6, -3, 2, 0.000305185, 0.983428, 0.000305185, 0.983428}},
        {"tek_tekscope_sine_int16_1000pts.wfm",
         {1000, -2e-08, 1.996e-08, -0.004, -0.008, -0.252, 0.244}},
        {"tek_sample_1_int8_1000pts.wfm", {1000, -1e-08, 9.98e-09, 0.024, 0.0264, -0.1992, 0.2376}},
        {"tek_mso64_ref7_int16_50000pts.wfm",
         {50000, -1e-06, 9.9996e-07, -0.148, 0.144, -0.152, 0.144}},
        {"tek_sample_ff1_fastframe_int16_5x1000pts.wfm",
         {1000, -1.6e-07, 1.5968e-07, 0.0929, 3.3005, -0.0303, 3.3599}},
        {"tek_5series_fastframe_int8_100x2500pts.wfm",
         {2500, -1.9984e-07, 2e-07, 0, 0, -0.268, 0.264}},
        {"lecroy_wp254hd_100002pts.trc",
         {100002, -0.00100007, 0.00900003, 0.329983, 0.329937, 0.322763, 0.331165}},
        {"lecroy_wr64xia_pulse_502pts.trc",
         {502, -1.20745e-07, 3.80255e-07, -0.023959, 0.0720371, -1.33591, 2.50394}},
        {"lecroy_7200a_lecroy_1_0_1002pts.trc",
         {1002, -0.00250473, 0.00250027, 0.0480957, 0.0274902, -0.391895, 0.625586}},
        {"lecroy_7200a_lecroy_1_0_5002pts_trailing_byte.trc",
         {5002, -1.57022e-06, 3.43078e-06, 0.0348877, -0.0425049, -0.0456909, 0.0432739}},
        {"lecroy_wr64xia_sequence_20x502pts.trc",
         {502, -3.64579e-07, 1.36421e-07, 0.00803968, 0.00803968, -1.33591, 2.31195}},
        {"keysight_dsox1102g_ch1_1953pts.bin",
         {1953, -0.001, 0.000998848, -0.0080402, -0.0080402, -0.522613, 0.498492}},
        {"keysight_dsox1102g_ch1_2000pts.bin",
         {2000, -0.000500063, 0.000499437, 1.84925, 1.80905, -2.09045, 1.92965}},
        {"keysight_dsox1102g_ch1_plus_ext_digital_20000pts.bin",
         {20000, -1e-05, 9.999e-06, -2.76382, -3.16583, -15.2261, 12.5126}},
        {"keysight_dsox1102g_ch1_ch2_4000pts.bin",
         {4000, -1e-06, 9.995e-07, 0.180904, 0.180904, -2.87437, 2.75377},
         {4000, -1e-06, 9.995e-07, 1.51759, -1.57789, -1.61809, 1.59799}},
        {"rs_rtp_float32_1ch.Wfm.bin", rs},
        {"rs_rtp_int8_1ch.Wfm.bin", rs},
        {"rs_rtp_float32_2ch.Wfm.bin", rs, rs2},
        {"rs_rtp_xydouble_1ch.Wfm.bin", xy},
        {"rs_rtp_xydouble_2ch.Wfm.bin", xy1, xy2},
        {"tek_mso64_ref7_50000pts.csv",
         {50000, -9.99966e-07, 9.99994e-07, -0.148, 0.144, -0.152, 0.144}},
    };
    for (const Export& e : exports) {
        SCOPED_TRACE(e.m_strFile);
        const bool pair = e.m_Second[0] > 0;
        const Waveform w = Read(Real(e.m_strFile));
        EXPECT_EQ(w.m_nKind, pair ? 3 : 2);
        ExpectFigures(w.m_Time, pair ? w.m_First : w.m_Diff, e.m_First);
        if (pair) ExpectFigures(w.m_Time, w.m_Second, e.m_Second);
        EXPECT_TRUE(pair ? w.m_Diff.empty() : w.m_First.empty() && w.m_Second.empty());
    }

    // A sequence header whose file ends after its descriptor.
    EXPECT_EQ(FailureText([] { Read(Real("lecroy_wr64xia_header_only_truncated.trc")); }),
              "File lecroy_wr64xia_header_only_truncated.trc is truncated: 804000 data bytes "
              "declared, 0 present");
    // Format 6 is unsigned: the negative int8 codes of this capture read as 128..255.
    const CTempFolder folder;
    const std::string bytes = Copy(Real("tek_sample_1_int8_1000pts.wfm"), folder.Path("u8.wfm"));
    Patch<int32_t>(168 + 72, 6)(bytes);
    const Values u = Read(bytes).m_Diff;
    EXPECT_NEAR(u.front(), 0.024, 1e-9);
    EXPECT_GE(*std::min_element(u.begin(), u.end()), 0.0);
    EXPECT_NEAR(*std::max_element(u.begin(), u.end()), 0.0024 * 255, 0.0024 * 128);
}

// Each format writes an odd 600 001 samples (past every read chunk, and written around the cache)
// and a file of the other line. Alone, a file gives its own traces; in a pair the data file's
// first trace comes second, and the other channel of each file is dropped.
TEST(ScopeFiles, WrittenRecordsReadBackSampleForSample) {
    constexpr double kStep = 2e-5, kCentre = 0.1;   // V per int16 code, V of code 0
    constexpr double kT0 = -2.5e-7, kDt = 0x1p-33;  // s; the interval is exact in float32 too
    using Writer = std::function<void(const std::string&, const Values&, const Values&)>;
    const auto tek = [](char version) -> Writer {
        return [=](auto& path, auto& a, auto&) {  // eight postcharge samples after the record
            Values curve = a;
            curve.resize(a.size() + 8, 0.3);
            CWriteTekWfm().Write(path, kT0, kDt, curve, kStep, kCentre);
            Patch(826, static_cast<int32_t>(2 * a.size()))(path);
            if (version != '3') AsOlderTek(path, version);
        };
    };
    // Keysight and Rohde & Schwarz files hold both lines, the others one.
    const std::pair<std::string, Writer> formats[] = {
        {".bin", [](auto& p, auto& a, auto& b) { CWriteKeysightBin().Write(p, kT0, kDt, a, b); }},
        {".Wfm.bin", [](auto& p, auto& a, auto& b) { CWriteRandSbin().Write(p, kT0, kDt, a, b); }},
        {".trc",
         [](auto& p, auto& a, auto&) { CWriteLecroyTrc().Write(p, kT0, kDt, a, kStep, kCentre); }},
        {".wfm", tek('3')},
        {"_v1.wfm", tek('1')},
        {"_v2.wfm", tek('2')},
    };
    const std::size_t count = 600001;
    const auto n = static_cast<std::ptrdiff_t>(count);
    const Values plus = Wave(count, 628.3), minus = Wave(count, 2094.4, 1.0);
    const CTempFolder folder;
    for (const auto& [extension, write] : formats) {
        SCOPED_TRACE(extension);
        const bool pairInOneFile = extension.ends_with(".bin");
        // float32 samples come back exactly, int16 codes within half a step (and .trc scaling).
        const double tolerance = pairInOneFile ? 0.0 : kStep / 2 + 1e-8;
        // The index of the first sample off by more than that, or the count.
        const auto firstMiss = [&](const Values& got, const Values& wrote) {
            const auto near = [&](double g, double w) {
                return std::fabs(g - (pairInOneFile ? static_cast<float>(w) : w)) <= tolerance;
            };
            if (got.size() != wrote.size()) return std::ptrdiff_t{-1};
            return std::mismatch(got.begin(), got.end(), wrote.begin(), near).first - got.begin();
        };
        const std::string a = folder.Path("plus" + extension);
        const std::string b = folder.Path("minus" + extension);
        write(a, plus, minus);
        write(b, minus, plus);

        const Waveform one = Read(a);
        EXPECT_EQ(one.m_nKind, pairInOneFile ? 3 : 2);
        EXPECT_EQ(firstMiss(pairInOneFile ? one.m_First : one.m_Diff, plus), n);
        EXPECT_EQ(firstMiss(one.m_Second, pairInOneFile ? minus : Values{}),
                  std::ssize(one.m_Second));
        ASSERT_EQ(one.m_Time.size(), count);
        for (std::size_t i : {std::size_t{0}, std::size_t{1}, count / 2 + 1, count - 1})
            EXPECT_NEAR(one.m_Time[i], kT0 + static_cast<double>(i) * kDt, 1e-3 * kDt);

        const Waveform pair = Read(a, b);
        EXPECT_EQ(pair.m_nKind, 3);
        EXPECT_EQ(firstMiss(pair.m_Second, plus), n);
        EXPECT_EQ(firstMiss(pair.m_First, minus), n);
        EXPECT_EQ(pair.m_Time, one.m_Time);
    }
}

TEST(ScopeFiles, DamagedOrForeignFilesFailWithTheirNameAndReason) {
    const CTempFolder folder;
    const std::string trc = folder.Path("w.trc"), ks = folder.Path("w.bin"),
                      wfm = folder.Path("w.wfm"), rs = folder.Path("w1.Wfm.bin"),
                      rs2 = folder.Path("w2.Wfm.bin");
    CWriteLecroyTrc().Write(trc, -1e-6, 1e-9, Wave(501, 40));
    CWriteKeysightBin().Write(ks, -1e-3, 1e-6, Wave(1953, 40));
    CWriteTekWfm().Write(wfm, -2e-8, 4e-11, Wave(999, 40));
    CWriteRandSbin().Write(rs, -0.0025, 1.25e-6, Wave(4001, 40));
    CWriteRandSbin().Write(rs2, -0.0025, 1.25e-6, Wave(4001, 40), Wave(4001, 40, 1.0));

    constexpr std::size_t kTrc = 11;  // LECROY_2_3 descriptor, after the "#9" block header
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    const double nan = std::nan("");
    const std::string length = "RecordLength\" Value=\"";
    const std::tuple<std::string, std::string, Damage, std::string> cases[] = {
        {trc, "huge.trc", Patch<int32_t>(kTrc + 60, kMax),
         "File huge.trc is truncated: 2147483647 data bytes declared, 1002 present"},
        // Counts beyond the data array are held to the samples the array holds.
        {trc, "counts.trc", Patch(kTrc + 116, kMax, kTrc + 128), ""},
        {trc, "empty.trc", Patch(kTrc + 124, 400, kTrc + 128),
         "File empty.trc holds fewer than 2 samples"},
        {trc, "small.trc", Patch(kTrc + 36, 100), "File small.trc has a damaged wave descriptor"},
        {trc, "flat.trc", Patch(kTrc + 176, 0.0f), "File flat.trc has no valid sample interval"},
        {trc, "future.trc", Patch(kTrc + 23, '3'),
         "File future.trc: unsupported template LECROY_3_3"},
        {trc, "width.trc", Patch<int16_t>(kTrc + 32, 2),
         "File width.trc: unsupported sample width 2"},
        {wfm, "tek.trc", {}, "tek.trc is not a LeCroy waveform file"},

        {Description(rs),
         "x.bin",
         {},
         "x.bin is not a Keysight waveform; its samples are in x.Wfm.bin"},
        {wfm, "tek.bin", {}, "tek.bin is not a Keysight waveform file"},
        {ks, "huge.bin", Patch(160, kMax),
         "File huge.bin is truncated: 2147483647 data bytes declared, 7812 present"},
        {ks, "negative.bin", Patch(160, -4), "File negative.bin has a damaged waveform header"},
        // A second waveform announced but never written.
        {ks, "missing.bin", Patch(8, 1000000), "File missing.bin ends inside its header"},
        {ks, "nan.bin", Patch(44, nan), "File nan.bin has no valid sample interval"},
        // Samples no analysis can use: a NaN, and the 9.9e37 a scope writes off screen.
        {ks, "void.bin", Patch(164 + 4 * 10, static_cast<float>(nan)),
         "Error: File void.bin sample 11 holds a value that is not a finite number."},
        {rs, "off.Wfm.bin", Patch(8 + 4 * 4000, 9.9e37f),
         "Error: File off.Wfm.bin sample 4001 holds the mark of a sample taken off screen."},

        {wfm, "illegal.wfm", Patch(240, 9), "Illegal data format in: illegal.wfm"},
        {wfm, "wide.wfm", Patch(240, 7),
         "File wide.wfm: bytes per point do not match its sample format"},
        {wfm, "ppc.wfm", Patch<uint16_t>(0, 0xF0F0),
         "File ppc.wfm is in PowerPC byte order, which is not read"},
        {trc, "trc.wfm", {}, "trc.wfm is not a Tektronix waveform file"},
        // A record that claims a gigabyte of samples.
        {wfm, "longer.wfm", Patch(826, 1 << 30, 834),
         "File longer.wfm is truncated: 1073741824 data bytes declared, 1998 present"},
        {wfm, "reversed.wfm", Patch(822, 4000), "File reversed.wfm has a damaged curve header"},
        {wfm, "header.wfm", [](auto& p) { std::filesystem::resize_file(p, 500); },
         "File header.wfm ends inside its header"},

        {rs, "alone.Wfm.bin", [](const std::string& p) { std::filesystem::remove(Description(p)); },
         "No such file or directory: alone.bin"},
        {rs, "longer.Wfm.bin", Describe(length + "4001", length + "4071"),
         "File longer.Wfm.bin is truncated: 16284 data bytes declared, 16004 present"},
        {rs, "rs_negative.Wfm.bin", Describe(length + "4001", length + "-4001"),
         "File rs_negative.Wfm.bin: its description gives no valid record length"},
        {rs, "skip.Wfm.bin", Describe("Samples\" Value=\"0", "Samples\" Value=\"4001"),
         "File skip.Wfm.bin is truncated: 16004 data bytes declared, 0 present"},
        {rs, "dt.Wfm.bin", Describe("Resolution\" Value=\"", "Resolution\" Value=\"0\" X=\""),
         "File dt.Wfm.bin has no valid sample interval"},
        {rs, "int16.Wfm.bin", Describe("FORMAT_FLOAT", "FORMAT_INT16BIT"),
         "File int16.Wfm.bin: sample format INT16BIT is not read"},
        {rs2, "four.Wfm.bin", Describe("OFF\" I_3=\"eRS_ONOFF_OFF", "ON\" I_3=\"eRS_ONOFF_ON"),
         "File four.Wfm.bin holds 4 channels; one or two can be read"},
        // Names count in any case, spaces and '>' inside quotes do not split an element, and
        // a repeated name keeps its first value.
        {rs, "upper.WFM.BIN", {}, ""},
        {rs, "case.Wfm.bin",
         Describe("Data\">", "Data\"><Prop X=\"a > b, c\" Name=\"signalresolution\" Value=\"0\"/>"),
         "File case.Wfm.bin has no valid sample interval"},
        {rs, "first.Wfm.bin",
         Describe("</Database>", "<Prop Name=\"RecordLength\" Value=\"9999\"/></Database>"), ""},
        // A large file that shares the description's name is not read as text.
        {rs, "large.Wfm.bin",
         [](auto& p) { std::filesystem::resize_file(Description(p), 1 << 30); },
         "File large.bin is too large for a waveform description"},
    };
    for (const auto& [source, name, damage, failure] : cases) {
        SCOPED_TRACE(name);
        const std::string path = Copy(source, folder.Path(name));
        if (damage) damage(path);
        EXPECT_EQ(FailureText([&] { Read(path); }), failure);
    }
}
