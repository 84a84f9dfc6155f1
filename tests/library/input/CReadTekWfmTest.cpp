#include <limits>

#include "ScopeFileSupport.h"
#include "input/CReadTekWfm.h"

using namespace scopefiles;

namespace {

// WFM#003 field offsets.
constexpr std::size_t kCurveOffset = 16;
constexpr std::size_t kFormat = 168 + 72;
constexpr std::size_t kInterval = 488;
constexpr std::size_t kDataStart = 822;
constexpr std::size_t kPostStart = 826;
constexpr std::size_t kCurveEnd = 834;

struct Capture {
    int32_t m_nKind = 0;
    std::vector<double> m_Time, m_Trace, m_Second{1.0};
};

Capture Read(const std::string& path) {
    Capture c;
    c.m_nKind = CReadTekWfm().Read(path, c.m_Time, c.m_Trace, c.m_Second);
    return c;
}

// Rewrites a single-frame WFM#003 file as an older version: four-byte point
// densities in all four dimensions, and for #001 no summary-frame field.
std::vector<char> AsOlderVersion(std::vector<char> wfm, char version) {
    auto shrinkDensity = [&](std::size_t at) {
        double density;
        std::memcpy(&density, wfm.data() + at, 8);
        const auto narrow = static_cast<float>(density);
        std::memcpy(wfm.data() + at, &narrow, 4);
        wfm.erase(wfm.begin() + static_cast<std::ptrdiff_t>(at + 4),
                  wfm.begin() + static_cast<std::ptrdiff_t>(at + 8));
    };
    // From the back, so earlier offsets stay valid.
    shrinkDensity(624 + 112);
    shrinkDensity(488 + 112);
    shrinkDensity(328 + 136);
    shrinkDensity(168 + 136);
    int32_t curve = 838 - 16;
    if (version == '1') {
        wfm.erase(wfm.begin() + 154, wfm.begin() + 156);
        curve -= 2;
    }
    wfm[9] = version;
    std::memcpy(wfm.data() + 16, &curve, 4);
    return wfm;
}

}  // namespace

TEST(TekWfm, RecordsGiveTheirSamplesFromTheScopesOwnOrigin) {
    // FastFrame files give their first frame, from the curve buffer the header names.
    const std::pair<const char*, Figures> truth[] = {
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
    };
    for (const auto& [name, figures] : truth) {
        SCOPED_TRACE(name);
        const Capture c = Read(Fixture("tek_wfm", name));
        EXPECT_EQ(c.m_nKind, 2);
        EXPECT_TRUE(c.m_Second.empty());
        ExpectFigures(c.m_Time, c.m_Trace, figures);
    }
}

TEST(TekWfm, OlderVersionsAreReadWithTheirOwnLayout) {
    ScratchFolder folder;
    const std::string source = Fixture("tek_wfm", "tek_tekscope_sine_int16_1000pts.wfm");
    const Capture current = Read(source);
    for (char version : {'1', '2'}) {
        const std::string path = folder.Path(std::string("v") + version + ".wfm");
        ScratchFolder::Save(path, AsOlderVersion(ScratchFolder::Bytes(source), version));
        const Capture older = Read(path);
        EXPECT_EQ(older.m_Trace, current.m_Trace) << version;
        EXPECT_EQ(older.m_Time, current.m_Time) << version;
    }
}

TEST(TekWfm, SampleFormatDecidesHowRawBytesBecomeVolts) {
    ScratchFolder folder;
    const std::string source = Fixture("tek_wfm", "tek_sample_1_int8_1000pts.wfm");

    // Format 6 is unsigned: the negative int8 codes of this capture read as 128..255.
    const std::string unsignedBytes = folder.Copy(source, "uint8.wfm");
    ScratchFolder::Patch<int32_t>(unsignedBytes, kFormat, 6);
    const Capture u = Read(unsignedBytes);
    EXPECT_NEAR(u.m_Trace.front(), 0.024, 1e-9);
    EXPECT_GE(*std::min_element(u.m_Trace.begin(), u.m_Trace.end()), 0.0);
    EXPECT_NEAR(*std::max_element(u.m_Trace.begin(), u.m_Trace.end()), 0.0024 * 255, 0.0024 * 128);

    const std::string illegal = folder.Copy(source, "illegal.wfm");
    ScratchFolder::Patch<int32_t>(illegal, kFormat, 9);
    EXPECT_EQ(FailureOf([&] { Read(illegal); }), "Illegal data format in: illegal.wfm");

    const std::string wide = folder.Copy(source, "wide.wfm");
    ScratchFolder::Patch<int32_t>(wide, kFormat, 0);
    EXPECT_EQ(FailureOf([&] { Read(wide); }),
              "File wide.wfm: bytes per point do not match its sample format");

    const std::string powerPc = folder.Copy(source, "ppc.wfm");
    ScratchFolder::Patch<uint16_t>(powerPc, 0, 0xF0F0);
    EXPECT_EQ(FailureOf([&] { Read(powerPc); }),
              "File ppc.wfm is in PowerPC byte order, which is not read");
}

TEST(TekWfm, CurveOffsetsBeyondTheFileFailClearly) {
    ScratchFolder folder;
    const std::string source = Fixture("tek_wfm", "tek_tekscope_sine_int16_1000pts.wfm");

    const std::string far = folder.Copy(source, "far.wfm");
    ScratchFolder::Patch<int32_t>(far, kCurveOffset, 1 << 30);
    EXPECT_EQ(FailureOf([&] { Read(far); }),
              "File far.wfm is truncated: 2000 data bytes declared, 0 present");

    const std::string longer = folder.Copy(source, "longer.wfm");
    // A record that claims a gigabyte of samples.
    ScratchFolder::Patch<int32_t>(longer, kPostStart, 1 << 30);
    ScratchFolder::Patch<int32_t>(longer, kCurveEnd, 1 << 30);
    EXPECT_EQ(FailureOf([&] { Read(longer); }),
              "File longer.wfm is truncated: 1073741760 data bytes declared, 2179 present");

    const std::string reversed = folder.Copy(source, "reversed.wfm");
    ScratchFolder::Patch<int32_t>(reversed, kDataStart, 4000);
    EXPECT_EQ(FailureOf([&] { Read(reversed); }), "File reversed.wfm has a damaged curve header");

    const std::string headerOnly = folder.Copy(source, "header.wfm");
    std::filesystem::resize_file(headerOnly, 500);
    EXPECT_EQ(FailureOf([&] { Read(headerOnly); }), "File header.wfm ends inside its header");

    for (double interval : {0.0, std::numeric_limits<double>::infinity()}) {
        const std::string flat = folder.Copy(source, "flat.wfm");
        ScratchFolder::Patch<double>(flat, kInterval, interval);
        EXPECT_EQ(FailureOf([&] { Read(flat); }), "File flat.wfm has no valid sample interval");
    }
}
