// Comma- and tab-separated captures read through ReadWaveform.
#include <sys/stat.h>

#include "ScopeFileSupport.h"
#include "input/CReadText.h"

using namespace scopefiles;
using namespace std::string_literals;

namespace {

// Row i holds time i and value i + 0.5, after `lead`.
std::string Rows(int count, const std::string& lead = "") {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += lead + std::to_string(i) + "," + std::to_string(i) + ".5\n";
    return text;
}

std::string Labels(int count, const std::string& rest) {
    std::string lines;
    for (int i = 0; i < count; ++i) lines += "Label " + std::to_string(i) + rest + "\n";
    return lines;
}

}  // namespace

TEST(TextFiles, HeaderLinesOfAnyLayoutAreSkippedAndEveryDataRowIsRead) {
    // The oldest layout writes its first samples beside the header lines.
    std::string beside;
    for (int i = 0; i < 30; ++i)
        beside += (i < 18 ? "Label " + std::to_string(i) + ",17,Units," : ",,,"s) +
                  std::to_string(i) + "," + std::to_string(i) + ".5\n";
    const std::string legacy = Labels(24, ",17,Units,,") + ",,,TIME,CH1\n" + Rows(30, ",,,");
    // Times 0 .. n - 1, or the values half a unit above them, as Rows writes them.
    const auto counted = [](int n, double above) {
        Values v;
        for (int i = 0; i < n; ++i) v.push_back(i + above);
        return v;
    };
    const Values time30 = counted(30, 0), values30 = counted(30, 0.5);
    // Name, text, time, trace, and the second trace of a pair.
    const std::tuple<std::string, std::string, Values, Values, Values> cases[] = {
        {"long.csv", Labels(25, ",on") + Rows(30), time30, values30, {}},
        // A lone figure inside a header is no first sample.
        {"stray.csv", "Record Length\n5000\n" + Rows(30), time30, values30, {}},
        {"legacy.csv", legacy, time30, values30, {}},
        {"beside.csv", beside, time30, values30, {}},
        // Names in capitals or with dots, CR LF, two separators in a row, a value that
        // starts at its decimal point, plus signs, spaces, no final line break.
        {"RUN.CSV", "0.5,.5\r\n1.5,,-.25\r\n+2.5, +1", {0.5, 1.5, 2.5}, {0.5, -0.25, 1}, {}},
        {"run.1.csv", " 0 ,1\n1, 2 \n", {0, 1}, {1, 2}, {}},
        {"X.Wfm.csv", "0\t1\n1\t2\n", {0, 1}, {1, 2}, {}},
        {"dp.TSV", "% a\n0\t1\t-1\n1\t2\t-2\n% b\n2\t3\t-3", {0, 1, 2}, {1, 2, 3}, {-1, -2, -3}},
        {"dq.tsv", "0\t1\n% a\n1\t2\n2\t3\n", {0, 1, 2}, {1, 2, 3}, {}},
        // Only a last row cut mid-write is dropped; a zero byte ends a preallocated file.
        {"cut1.csv", "0,1\n1,2\n2", {0, 1}, {1, 2}, {}},
        {"cut2.csv", "0,1\n1,2\n2,", {0, 1}, {1, 2}, {}},
        {"cut3.csv", "0,1\n1,2\n2,3.5e-", {0, 1}, {1, 2}, {}},
        {"cut4.csv", "0,1\n1,2\n2\n\n", {0, 1}, {1, 2}, {}},
        {"cut5.csv", "0,1\n1,2\n2,4\0\0"s, {0, 1}, {1, 2}, {}},
        // Some 6 MB: rows run on across the chunks the file is read in.
        {"chunked.csv", "T,V\n" + Rows(400000), counted(400000, 0), counted(400000, 0.5), {}},
    };
    const CTempFolder folder;
    for (const auto& [name, text, time, trace, second] : cases) {
        SCOPED_TRACE(name);
        Save(folder.Path(name), text);
        const Waveform w = Read(folder.Path(name));
        EXPECT_EQ(w.m_nKind, second.empty() ? 2 : 3);
        EXPECT_EQ(w.m_Time, time);
        EXPECT_EQ(second.empty() ? w.m_Diff : w.m_First, trace);
        EXPECT_EQ(w.m_Second, second);
        EXPECT_TRUE(second.empty() ? w.m_First.empty() : w.m_Diff.empty());
    }
}

TEST(TextFiles, FilesThatCannotBeReadFailWithTheirNameAndReason) {
    const std::string fewer = " holds fewer than 2 data rows.";
    const std::pair<std::string, std::string> files[] = {
        {"x.xyz", "Unknown file type x.xyz"},
        {"head.csv", "Error: File head.csv" + fewer},
        {"notes.tsv", "Error: File notes.tsv" + fewer},
        {"one.csv", "Error: File one.csv" + fewer},
        {"four.csv", "Error: File four.csv contains 4 columns.\nShould be 2 or 3."},
        {"endless.csv", "Error: File endless.csv has a line longer than 4 MiB."},
        {"mid.csv", "Error: File mid.csv row 3 holds 1 values, not 2."},
        {"wide.csv", "Error: File wide.csv row 3 holds 4 values, not 2."},
        {"nan.csv", "Error: File nan.csv row 4 holds a value that is not a finite number."},
        {"abc.csv", "Error: File abc.csv row 4 holds a value that is not a finite number."},
        {"gone.csv", "No such file or directory: gone.csv"},
        {"pipe.csv", "Error: pipe.csv is not a regular file."},
        {"mark.csv", "Error: File mark.csv row 3 holds the mark of a sample taken off screen."},
        // Time columns that are not one even step: back, a gap, one sample early.
        {"back.csv",
         "Error: File back.csv row 4 holds a time that is not later than the row "
         "before."},
        {"jump.csv", "Error: File jump.csv row 3 breaks the even time step of 1 s."},
        {"gap.csv", "Error: File gap.csv row 22 breaks the even time step of 0.5 s."},
        {"early.csv", "Error: File early.csv row 26 breaks the even time step of 0.5 s."},
        // Each step within 1 %, but the column drifts off the line of its first and last times.
        {"drift.csv", "Error: File drift.csv row 4099 lies off the even time step of 1.00701 s."},
        // Second files: the data file dplus.csv holds 3 rows at 0, 1 and 2.
        {"short.csv", "Error: Files dplus.csv and short.csv differ in length: 3 and 2 samples."},
        {"late.csv", "Error: Files dplus.csv and late.csv do not share one time axis."},
        {"slow.csv", "Error: Files dplus.csv and slow.csv do not share one time axis."},
    };
    const CTempFolder folder;
    const auto write = [&](const std::string& name, const std::string& text) {
        Save(folder.Path(name), text);
        return folder.Path(name);
    };
    write("x.xyz", Rows(3)), write("head.csv", "Model,MSO64\nTIME,CH1\n");
    write("notes.tsv", "% a\n% b\n"), write("one.csv", "T,V\n0,1\n");
    write("four.csv", "0,1,2,3\n1,2,3,4\n"), write("endless.csv", std::string(5 << 20, '1'));
    write("mid.csv", "0,1\n1,2\n2\n3,3\n"), write("wide.csv", "0,1\n1,2\n2,2,3,4\n3,3\n");
    write("nan.csv", "T,V\n0,1\n1,2\n2,nan\n3,3\n"),
        write("abc.csv", "T,V\n0,1\n1,2\n2,abc\n3,3\n");
    write("mark.csv", "T,V\n0,1\n1,9.9E+37\n2,1\n");
    write("back.csv", "0,1\n1,2\n2,3\n1.5,3\n"), write("jump.csv", "0,1\n1,1\n100,1\n101,1\n");
    std::string gap = "T,V\n", early = gap;
    for (int i = 0; i < 30; ++i) {
        gap += std::to_string(i * 0.5 + (i >= 20 ? 1.0 : 0.0)) + ",1\n";
        early += std::to_string(i * 0.5 - (i == 24 ? 0.25 : 0.0)) + ",1\n";
    }
    write("gap.csv", gap), write("early.csv", early);
    std::string drift = "T,V\n";
    for (int i = 0; i < 10000; ++i)
        drift += std::to_string(i < 5000 ? i : 5000 + (i - 5000) * 1.009) + ",1\n";
    write("drift.csv", drift);
    mkfifo(folder.Path("pipe.csv").c_str(), 0600);
    write("short.csv", "0,2\n1,2\n");
    write("late.csv", "1,2\n2,2\n3,2\n"), write("slow.csv", "0,2\n1.1,2\n2.2,2\n");
    const std::string dPlus = write("dplus.csv", "0,1\n1,1\n2,1\n");
    for (const auto& [name, failure] : files) {
        const bool second = failure.starts_with("Error: Files");
        const std::string path = folder.Path(name);
        EXPECT_EQ(FailureText([&] { Read(second ? dPlus : path, second ? path : ""); }), failure);
    }
    EXPECT_EQ(FailureText([] { Read(""); }), "Please select a data file.");

    // Two long names share the room of a pair's message; its fixed words stay whole.
    const std::string longName(250, 'n');
    const std::string pair = FailureText(
        [&] { Read(write(longName + "a.csv", Rows(3)), write(longName + "b.csv", Rows(2))); });
    EXPECT_LE(pair.size(), kMaxMessageChars);
    EXPECT_TRUE(pair.starts_with("Error: Files nnn")) << pair;
    EXPECT_TRUE(pair.ends_with("nnn differ in length: 3 and 2 samples.")) << pair;
}

// Parsed in 1 MB stretches on every core, a long capture reads as one stream: the same
// samples in file order, and a refusal names the first bad row of the whole file, in
// the head, deep in a later stretch, or drifting off the time line across stretches.
TEST(TextFiles, LongCapturesParsedInStretchesReadAsOneStream) {
    const CTempFolder folder;
    const std::string clean = "T,V\n" + Rows(600000);
    // Row `row` of samples (line row + 2) replaced by `text`.
    const auto damaged = [&](int row, const std::string& text) {
        const std::size_t at = clean.find('\n' + std::to_string(row) + ',') + 1;
        return clean.substr(0, at) + text + clean.substr(clean.find('\n', at));
    };
    const std::pair<std::string, std::string> cases[] = {
        {clean, ""},
        {damaged(500, "500,abc"), "row 502 holds a value that is not a finite number."},
        {damaged(550000, "550000,abc"), "row 550002 holds a value that is not a finite number."},
        {damaged(550000, "550000"), "row 550002 holds 1 values, not 2."},
        {damaged(550000, "550000.008,1"), "row 550002 lies off the even time step of 1 s."},
    };
    for (const auto& [text, failure] : cases) {
        SCOPED_TRACE(failure);
        Save(folder.Path("long.csv"), text);
        CWaveform w;
        const std::string refusal = FailureText(
            [&] { w = CReadText(false, 1 << 20).Read(folder.Path("long.csv"), false); });
        EXPECT_EQ(refusal, failure.empty() ? "" : "Error: File long.csv " + failure);
        if (!failure.empty()) continue;
        ASSERT_EQ(w.m_Traces[0].size(), 600000u);
        for (std::size_t i = 0; i < w.m_Traces[0].size(); ++i)
            ASSERT_EQ(w.m_Traces[0][i], static_cast<double>(i) + 0.5) << i;
        EXPECT_EQ(w.m_Time.front(), 0.0);
        EXPECT_EQ(w.m_Time[1], 1.0);
        EXPECT_EQ(w.m_Time.back(), 599999.0);
    }
}
