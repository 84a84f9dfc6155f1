#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "entry/CAnalysisError.h"
#include "input/CReadFile.h"

namespace {

using namespace std::string_literals;
using Values = std::vector<double>;

struct Waveform {
    int32_t m_nKind = 0;
    Values m_Time, m_Diff, m_First, m_Second;
};

class TextWaveforms : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = std::filesystem::temp_directory_path() / "velkin_read_XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_strDir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_strDir); }

    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_strDir + "/" + name, std::ios::binary) << text;
        return m_strDir + "/" + name;
    }
    static Waveform Read(const std::string& path, const std::string& other = "",
                         bool inrush = false) {
        Waveform w;
        w.m_nKind = CReadFile().ReadWaveform(path, w.m_Time, w.m_Diff, w.m_First, w.m_Second, other,
                                             inrush);
        return w;
    }
    static std::string Failure(const std::string& path, const std::string& other = "",
                               bool inrush = false) {
        try {
            Read(path, other, inrush);
        } catch (const CAnalysisError& error) {
            return error.Text();
        }
        return "no failure";
    }

    std::string m_strDir;
};

// Row i holds time i ns and value i + 0.5.
std::string Rows(int count, const std::string& lead = "") {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += lead + std::to_string(i) + "e-9," + std::to_string(i) + ".5\n";
    return text;
}

}  // namespace

TEST_F(TextWaveforms, HeaderLinesOfAnyLayoutAreSkippedAndNoDataRowIsLost) {
    std::string header, legacy;
    for (int i = 1; i <= 25; ++i) header += "Setting " + std::to_string(i) + ",on\n";
    for (int i = 1; i <= 24; ++i) legacy += "Label " + std::to_string(i) + ",17,Units,,\n";
    // The oldest layout writes its first samples beside the header lines.
    std::string beside;
    for (int i = 0; i < 30; ++i)
        beside += (i < 18 ? "Label " + std::to_string(i) + ",17,Units," : ",,,"s) +
                  std::to_string(i) + "e-9," + std::to_string(i) + ".5\n";
    // A 25-line header; a lone figure inside a header; a header in the leading columns.
    for (const auto& [name, text] : {std::pair{"long.csv", header + Rows(30)},
                                     {"stray.csv", "Record Length\n5000\nTIME,CH1\n" + Rows(30)},
                                     {"legacy.csv", legacy + ",,,TIME,CH1\n" + Rows(30, ",,,")},
                                     {"beside.csv", beside}}) {
        const Waveform w = Read(Write(name, text));
        EXPECT_EQ(w.m_nKind, 2) << name;
        ASSERT_EQ(w.m_Diff.size(), 30u) << name;
        EXPECT_TRUE(w.m_First.empty()) << name;
        EXPECT_DOUBLE_EQ(w.m_Time[3], 3e-9) << name;
        EXPECT_DOUBLE_EQ(w.m_Diff[3], 3.5) << name;
    }

    // No header, names in capitals or with dots, CR LF, two separators in a row, a
    // value that starts at its decimal point, a plus sign, no final line break.
    for (const char* name : {"RUN.CSV", "run.1.csv", "X.Wfm.csv"}) {
        const Waveform w = Read(Write(name, "0.5e-9,.5\r\n1.5e-9,,-.25\r\n+2.5e-9,+1"));
        EXPECT_EQ(w.m_nKind, 2) << name;
        EXPECT_EQ(w.m_Diff, (Values{0.5, -0.25, 1.0})) << name;
    }

    const Waveform w = Read(Write("dp.TSV", "% scope\n% D+ D-\n0\t1\t-1\n1\t2\t-2\n% x\n2\t3\t-3"));
    EXPECT_EQ(w.m_nKind, 3);
    EXPECT_EQ(w.m_First, (Values{1, 2, 3}));
    EXPECT_EQ(w.m_Second, (Values{-1, -2, -3}));
}

TEST_F(TextWaveforms, ValuesAreTheNearestDoublesToTheirDecimalText) {
    // Short scope-style numbers take a quick path, long or extreme ones the general
    // parser: both must give what the C library gives, bit for bit.
    std::vector<std::string> texts{
        "123456789012345678901",  "-1e-30",           "4.9e-324", "1E+22", "1e23",
        "1.7976931348623157e308", "9007199254740993", "-0",       "0.1"};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> power(-25, 25);
    char text[64];
    for (int i = 0; i < 3000; ++i) {
        const char* format = i % 3 == 0 ? "%.8e" : (i % 3 == 1 ? "%.17g" : "%.6f");
        std::snprintf(text, sizeof text, format, mantissa(random) * std::pow(10.0, power(random)));
        texts.emplace_back(text);
    }
    std::string file;
    for (std::size_t i = 0; i < texts.size(); ++i)
        file += std::to_string(i) + "," + texts[i] + "\n";
    const Waveform w = Read(Write("values.csv", file));
    ASSERT_EQ(w.m_Diff.size(), texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        EXPECT_EQ(w.m_Diff[i], std::strtod(texts[i].c_str(), nullptr)) << texts[i];
}

TEST_F(TextWaveforms, PairPutsTheDataFileSecondAndMustShareOneTimeAxis) {
    const std::string dPlus = Write("dplus.csv", "0,1\n1e-9,1\n2e-9,1\n");
    Waveform w = Read(dPlus, Write("dminus.csv", "t,a,b\n0,2,9\n1e-9,2,9\n2e-9,2,9\n"));
    EXPECT_EQ(w.m_nKind, 3);
    EXPECT_EQ(w.m_Second, (Values{1, 1, 1}));
    EXPECT_EQ(w.m_First, (Values{2, 2, 2}));
    EXPECT_EQ(w.m_Time.size(), 3u);

    w = Read(Write("a.tsv", "0\t5\n1\t6\n"), Write("b.tsv", "0\t7\t8\n1\t9\t10\n"));
    EXPECT_EQ(w.m_Second, (Values{5, 6}));
    EXPECT_EQ(w.m_First, (Values{7, 9}));

    EXPECT_EQ(Failure(dPlus, Write("short.csv", "0,2\n1e-9,2\n")),
              "Error: Files dplus.csv and short.csv differ in length: 3 and 2 samples.");
    EXPECT_EQ(Failure(dPlus, Write("late.csv", "1e-9,2\n2e-9,2\n3e-9,2\n")),
              "Error: Files dplus.csv and late.csv do not share one time axis.");
}

TEST_F(TextWaveforms, OnlyTheLastRowMayBeCutAndEveryValueMustBeAFiniteNumber) {
    for (const std::string& tail : {"2e-9"s, "2e-9,"s, "2e-9,3.5e-"s, "2e-9\n\n"s, "2e-9,4\0\0"s}) {
        const Waveform w = Read(Write("cut.csv", "0,1\n1e-9,2\n" + tail));
        EXPECT_EQ(w.m_Time.size(), 2u) << tail;
        EXPECT_EQ(w.m_Diff.size(), 2u) << tail;
    }
    EXPECT_EQ(Failure(Write("mid.csv", "0,1\n1e-9,2\n2e-9\n3e-9,3\n")),
              "Error: File mid.csv row 3 holds 1 values, not 2.");
    EXPECT_EQ(Failure(Write("wide.csv", "0,1\n1e-9,2\n2e-9,2,3,4\n3e-9,3\n")),
              "Error: File wide.csv row 3 holds 4 values, not 2.");
    for (const char* bad : {"nan", "inf", "-Infinity", "abc", "1e999"})
        EXPECT_EQ(Failure(Write("bad.csv", "T,V\n0,1\n1e-9,2\n2e-9,"s + bad + "\n3e-9,3\n")),
                  "Error: File bad.csv row 4 holds a value that is not a finite number.")
            << bad;
}

TEST_F(TextWaveforms, FilesThatCannotBeReadAreNamedInTheirMessage) {
    EXPECT_EQ(Failure(""), "Please select a data file.");
    EXPECT_EQ(Failure(m_strDir + "/gone.csv"), "No such file or directory: gone.csv");
    EXPECT_EQ(Failure(Write("x.xyz", Rows(3))), "Unknown file type x.xyz");
    for (const char* name : {"k.BIN", "t.wfm", "l.Trc", "r.Wfm.bin"})
        EXPECT_FALSE(Failure(Write(name, "\x01\x02")).starts_with("Unknown file type")) << name;
    EXPECT_EQ(Failure(Write("head.csv", "Model,MSO64\nTIME,CH1\n")),
              "Error: File head.csv holds fewer than 2 data rows.");
    EXPECT_EQ(Failure(Write("notes.tsv", "% a\n% b\n")),
              "Error: File notes.tsv holds fewer than 2 data rows.");
    EXPECT_EQ(Failure(Write("one.csv", "T,V\n0,1\n")),
              "Error: File one.csv holds fewer than 2 data rows.");
    EXPECT_EQ(Failure(Write("x.csv", "0,1,2,3\n1,2,3,4\n")),
              "Error: File x.csv contains 4 columns.\nShould be 2 or 3.");
    EXPECT_EQ(Failure(Write("i.csv", "0,1,2\n1,2,3\n"), "", true),
              "Error: File i.csv has 3 columns.\nCan only have 2 for Inrush measurement.");

    // A file that is no list of rows (one endless line) is refused, not buffered whole.
    EXPECT_EQ(Failure(Write("endless.csv", std::string(5 << 20, '1'))),
              "Error: File endless.csv has a line longer than 4 MiB.");

    // Long names are cut, the fixed words never.
    const std::string longName(250, 'n');
    const std::string columns = Failure(Write(longName + ".csv", "0,1,2,3\n1,2,3,4\n"));
    EXPECT_LE(columns.size(), kMaxMessageChars);
    EXPECT_TRUE(columns.ends_with(" contains 4 columns.\nShould be 2 or 3.")) << columns;
    const std::string missing = Failure(m_strDir + "/" + std::string(300, 'm') + ".csv");
    EXPECT_LE(missing.size(), kMaxMessageChars);
    EXPECT_TRUE(missing.starts_with("File name too long: mmm")) << missing;
    const std::string pair =
        Failure(Write(longName + "a.csv", Rows(3)), Write(longName + "b.csv", Rows(2)));
    EXPECT_LE(pair.size(), kMaxMessageChars);
    EXPECT_TRUE(pair.ends_with(" differ in length: 3 and 2 samples.")) << pair;
}

TEST_F(TextWaveforms, LongCapturesAreReadWholeAcrossReadChunks) {
    std::string text = "TIME,CH1\r\n";
    const int rows = 400000;
    for (int i = 0; i < rows; ++i)
        text += std::to_string(i) + "," + std::to_string(i % 977) + ".25\r\n";
    const Waveform w = Read(Write("long.csv", text));
    ASSERT_EQ(w.m_Time.size(), static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        ASSERT_EQ(w.m_Time[i], i);
        ASSERT_EQ(w.m_Diff[i], i % 977 + 0.25);
    }
}

TEST_F(TextWaveforms, ScopeExportsReadWithTheFiguresTheScopesWrote) {
    // Rows, first and last time, first and last value of each trace, as the maker's
    // format holds them (six significant digits).
    struct Export {
        const char* m_strName;
        int32_t m_nKind;
        std::size_t m_nRows;
        std::pair<double, double> m_Time;
        std::vector<std::pair<double, double>> m_Traces;
    };
    const std::pair<double, double> rsTime{-5.24e-08, 4.7575e-08};
    const std::vector<std::pair<double, double>> rsPair{{-0.000286438, -1.46986e-05},
                                                        {0.00119874, 0.00152544}};
    const std::vector<Export> exports{
        {"rs_rtp_xydouble_1ch.Wfm.csv", 2, 4000, rsTime, {{-0.000286438, -1.47e-05}}},
        {"rs_rtp_xydouble_2ch.Wfm.csv", 3, 4000, rsTime, rsPair},
        {"tek_mso64_ref7_50000pts.csv", 2, 50000, {-9.99966e-07, 9.99994e-07}, {{-0.148, 0.144}}}};
    const auto near = [](double value, double truth) {
        return std::abs(value - truth) <= 5e-6 * std::abs(truth);
    };
    const std::string dir = VELKIN_SHARED_DIR "/fixtures/scope/csv/";
    for (const Export& e : exports) {
        SCOPED_TRACE(e.m_strName);
        const Waveform w = Read(dir + e.m_strName);
        EXPECT_EQ(w.m_nKind, e.m_nKind);
        ASSERT_EQ(w.m_Time.size(), e.m_nRows);
        EXPECT_TRUE(near(w.m_Time.front(), e.m_Time.first)) << w.m_Time.front();
        EXPECT_TRUE(near(w.m_Time.back(), e.m_Time.second)) << w.m_Time.back();
        // One trace is the differential; a pair is first trace then second, in column order.
        const std::vector<const Values*> traces =
            e.m_nKind == 2 ? std::vector<const Values*>{&w.m_Diff}
                           : std::vector<const Values*>{&w.m_First, &w.m_Second};
        ASSERT_EQ(traces.size(), e.m_Traces.size());
        for (std::size_t i = 0; i < traces.size(); ++i) {
            ASSERT_EQ(traces[i]->size(), e.m_nRows);
            EXPECT_TRUE(near(traces[i]->front(), e.m_Traces[i].first)) << traces[i]->front();
            EXPECT_TRUE(near(traces[i]->back(), e.m_Traces[i].second)) << traces[i]->back();
        }
    }

    // Values alone, without a time column, are no waveform.
    EXPECT_EQ(Failure(dir + "rs_rtp_float32_1ch.Wfm.csv"),
              "Error: File rs_rtp_float32_1ch.Wfm.csv contains 1 columns.\nShould be 2 or 3.");
}
