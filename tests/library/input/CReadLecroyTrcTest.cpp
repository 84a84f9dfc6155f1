#include <limits>

#include "ScopeFileSupport.h"
#include "input/CReadLecroyTrc.h"

using namespace scopefiles;

namespace {

// LECROY_2_3 field offsets in a file that starts with the 11-byte "#9" block header.
constexpr std::size_t kDesc = 11;
constexpr std::size_t kSampleWidth = kDesc + 32;
constexpr std::size_t kDescriptorLength = kDesc + 36;
constexpr std::size_t kWaveArrayBytes = kDesc + 60;
constexpr std::size_t kWaveArrayCount = kDesc + 116;
constexpr std::size_t kFirstValid = kDesc + 124;
constexpr std::size_t kLastValid = kDesc + 128;
constexpr std::size_t kInterval = kDesc + 176;

struct Capture {
    int32_t m_nKind = 0;
    std::vector<double> m_Time, m_Trace, m_Second{1.0};
};

Capture Read(const std::string& path) {
    Capture c;
    c.m_nKind = CReadLecroyTrc().Read(path, c.m_Time, c.m_Trace, c.m_Second);
    return c;
}

}  // namespace

TEST(LecroyTrc, RecordsRunFromFirstToLastValidPointInclusive) {
    // LECROY_1_0 files are read with their own layout (a stray byte after the
    // data array changes nothing); a sequence gives its first segment, timed
    // from that segment's own trigger.
    const std::pair<const char*, Figures> truth[] = {
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
    };
    for (const auto& [name, figures] : truth) {
        SCOPED_TRACE(name);
        const Capture c = Read(Fixture("lecroy_trc", name));
        EXPECT_EQ(c.m_nKind, 2);
        EXPECT_TRUE(c.m_Second.empty());
        ExpectFigures(c.m_Time, c.m_Trace, figures);
    }
}

TEST(LecroyTrc, DescriptorsThatPromiseMoreThanTheFileHoldsFailClearly) {
    EXPECT_EQ(
        FailureOf([] { Read(Fixture("lecroy_trc", "lecroy_wr64xia_header_only_truncated.trc")); }),
        "File lecroy_wr64xia_header_only_truncated.trc is truncated: 804000 data bytes "
        "declared, 0 present");

    ScratchFolder folder;
    const std::string source = Fixture("lecroy_trc", "lecroy_wr64xia_pulse_502pts.trc");

    const std::string huge = folder.Copy(source, "huge.trc");
    ScratchFolder::Patch<int32_t>(huge, kWaveArrayBytes, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FailureOf([&] { Read(huge); }),
              "File huge.trc is truncated: 2147483647 data bytes declared, 1004 present");

    // Counts beyond the data array are held to the samples the array holds.
    const std::string counts = folder.Copy(source, "counts.trc");
    ScratchFolder::Patch<int32_t>(counts, kWaveArrayCount, 2000000000);
    ScratchFolder::Patch<int32_t>(counts, kLastValid, 2000000000);
    EXPECT_EQ(Read(counts).m_Trace.size(), 502u);

    const std::string empty = folder.Copy(source, "empty.trc");
    ScratchFolder::Patch<int32_t>(empty, kFirstValid, 400);
    ScratchFolder::Patch<int32_t>(empty, kLastValid, -5);
    EXPECT_EQ(FailureOf([&] { Read(empty); }), "File empty.trc holds fewer than 2 samples");

    const std::string far = folder.Copy(source, "far.trc");
    ScratchFolder::Patch<int32_t>(far, kDescriptorLength, 1 << 30);
    EXPECT_EQ(FailureOf([&] { Read(far); }),
              "File far.trc is truncated: 1004 data bytes declared, 0 present");

    const std::string negative = folder.Copy(source, "negative.trc");
    ScratchFolder::Patch<int32_t>(negative, kDescriptorLength, -346);
    EXPECT_EQ(FailureOf([&] { Read(negative); }),
              "File negative.trc has a damaged wave descriptor");

    const std::string flat = folder.Copy(source, "flat.trc");
    ScratchFolder::Patch<float>(flat, kInterval, 0.0f);
    EXPECT_EQ(FailureOf([&] { Read(flat); }), "File flat.trc has no valid sample interval");
}

TEST(LecroyTrc, UnknownLayoutsAreRejectedByName) {
    ScratchFolder folder;
    const std::string source = Fixture("lecroy_trc", "lecroy_wr64xia_pulse_502pts.trc");

    const std::string future = folder.Copy(source, "future.trc");
    ScratchFolder::Patch<char>(future, kDesc + 23, '3');
    EXPECT_EQ(FailureOf([&] { Read(future); }), "File future.trc: unsupported template LECROY_3_3");

    const std::string width = folder.Copy(source, "width.trc");
    ScratchFolder::Patch<int16_t>(width, kSampleWidth, 2);
    EXPECT_EQ(FailureOf([&] { Read(width); }), "File width.trc: unsupported sample width 2");

    EXPECT_EQ(FailureOf([] { Read(Fixture("tek_wfm", "tek_sample_1_int8_1000pts.wfm")); }),
              "tek_sample_1_int8_1000pts.wfm is not a LeCroy waveform file");
}
