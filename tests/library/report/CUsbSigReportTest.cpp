#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "entry/CAnalysisError.h"
#include "entry/CUsbSigCheck.h"
#include "report/CHtmlText.h"
#include "report/CUsbSigReport.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

// Reads a written report with Python's HTML parser and prints one line per finding:
// ERROR (an end tag that closes nothing open or cuts across an open element, or an
// element left open), DOCTYPE,
// CHARSET, TITLE, IMG (link target, decoded), TAG (every element name),
// FONT colour|text and TEXT (all text, blanks collapsed).
constexpr const char* kChecker = R"PY(
import sys, re, urllib.parse
from html.parser import HTMLParser
VOID = {"br", "img", "meta", "hr", "link", "input"}
OPTIONAL_END = {"li", "p"}
# A paragraph or item left open inside one of these is misnested: the browser
# splits the element to repair it.
FORMATTING = {"font", "u", "b", "i", "a"}
def squash(t): return re.sub(r"\s+", " ", t.replace("\xa0", " ")).strip()
class Check(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.stack, self.fonts, self.text, self.title, self.intitle = [], [], [], "", False
        self.closed = set()
    def handle_decl(self, decl): print("DOCTYPE " + decl)
    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        print("TAG " + tag)
        if tag == "meta" and "charset" in a: print("CHARSET " + a["charset"])
        if tag == "img": print("IMG " + urllib.parse.unquote(a.get("src", "")))
        if tag == "title": self.intitle = True
        if tag == "li":
            while self.stack and self.stack[-1][0] in OPTIONAL_END and "ul" in [s[0] for s in self.stack]:
                if self.stack[-1][0] == "li": self.stack.pop(); break
                self.stack.pop()
        if tag in VOID: return
        entry = [tag, a.get("color"), []]
        self.stack.append(entry)
        if tag == "font": self.fonts.append(entry)
    def handle_endtag(self, tag):
        if tag == "title": self.intitle = False
        self.closed.add(tag)
        if not any(s[0] == tag for s in self.stack):
            print("ERROR stray </%s>" % tag); return
        while self.stack[-1][0] != tag:
            if self.stack[-1][0] not in OPTIONAL_END or tag in FORMATTING:
                print("ERROR </%s> closes open <%s>" % (tag, self.stack[-1][0]))
            self.stack.pop()
        self.stack.pop()
    def handle_data(self, data):
        if self.intitle: self.title += data
        self.text.append(data)
        for s in self.stack:
            if s[0] == "font": s[2].append(data)
c = Check()
c.feed(open(sys.argv[1], encoding="utf-8").read())
c.close()
for s in c.stack:
    if s[0] not in OPTIONAL_END: print("ERROR unclosed <%s>" % s[0])
for tag in ("body", "html"):
    if tag not in c.closed: print("ERROR no </%s>" % tag)
print("TITLE " + squash(c.title))
for f in c.fonts: print("FONT %s|%s" % (f[1], squash("".join(f[2]))))
print("TEXT " + squash("".join(c.text)))
)PY";

const CToolboxRecord kToolbox = CToolboxGlobals().GetGlobals();

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

std::string Quoted(const std::string& path) {
    std::string quoted = "'";
    for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::vector<std::string> Check(const fs::path& report) {
    const fs::path script = report.parent_path() / "check_report.py";
    std::ofstream(script) << kChecker;
    std::vector<std::string> lines;
    std::istringstream out(
        Output("python3 " + Quoted(script.string()) + " " + Quoted(report.string()) + " 2>&1"));
    for (std::string line; std::getline(out, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> Findings(const std::vector<std::string>& lines, const std::string& kind) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(kind + " ", 0) == 0) found.push_back(line.substr(kind.size() + 1));
        if (kind == "ERROR" && line.rfind("Traceback", 0) == 0) found.push_back(line);
    }
    return found;
}

bool HasFont(const std::vector<std::string>& fonts, const std::string& colour,
             const std::string& text) {
    for (const std::string& f : fonts) {
        if (f.rfind(colour + "|", 0) == 0 && f.find(text) != std::string::npos) return true;
    }
    return false;
}

// A fresh folder whose name has a blank and "#", as lab folders do.
class CReportFolder : public CTempFolder {
public:
    CReportFolder() : CTempFolder("velkin report #") {}
};

std::string FileUrl(const fs::path& path) {
    std::string url = "file://";
    for (const auto& part : path.relative_path()) url += "/" + CHtmlText::LinkTarget(part.string());
    return url;
}

CSigSpec Spec(const std::string& keyword) { return *CSigTestSpec().SelectSpec(keyword); }

// A page that opens a report in a frame and lists what the browser made of it: the
// parsing mode (a missing or wrong doctype gives quirks mode), the character set,
// the scripts in it, the size each image decoded to (0x0 when it did not load) and
// its text with blanks collapsed.
constexpr const char* kProbeHead = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body><pre id="out">not loaded</pre>
<iframe id="report" src=")HTML";
constexpr const char* kProbeTail = R"HTML("></iframe>
<script>
const frame = document.getElementById("report");
frame.addEventListener("load", () => {
  const page = frame.contentDocument;
  const lines = ["MODE " + page.compatMode, "CHARSET " + page.characterSet,
                 "SCRIPTS " + page.scripts.length];
  for (const img of page.images) lines.push("IMG " + img.naturalWidth + "x" + img.naturalHeight);
  lines.push("TEXT " + page.body.innerText.replace(/\s+/g, " "));
  document.getElementById("out").textContent = lines.join("\n");
});
</script></body></html>
)HTML";

// The probe's lines out of the page the browser dumped, character references undone.
std::vector<std::string> ProbeLines(const std::string& dom) {
    const std::string open = "<pre id=\"out\">";
    const std::size_t start = dom.find(open);
    if (start == std::string::npos) return {};
    std::string text =
        dom.substr(start + open.size(), dom.find("</pre>", start) - start - open.size());
    for (const auto& [entity, c] : {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&amp;", "&"}}) {
        for (std::size_t at = text.find(entity); at != std::string::npos;
             at = text.find(entity, at + 1)) {
            text.replace(at, std::string(entity).size(), c);
        }
    }
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// A full-speed packet at 12.1 Mbit/s (waived) with every other figure passing,
// judged by the verdict stage.
CAnalysisRecord FullSpeedRecord(const std::string& fileA, const std::string& fileB = "") {
    CPacketMeasurement m;
    m.m_dUnitInterval = 1.0 / 12.1e6;
    m.m_bAllEdgesFound = 1;
    m.m_dEopStart = 1e-6;
    m.m_dEopEnd = 1e-6 + 2.0 / 12e6;
    for (int i = 0; i < 12; ++i) m.m_Crossings.push_back({0, 1.6, 1e-7 * i, 0, 0});
    m.m_nCrossings = 12;
    m.m_nJitterCount = 11;
    m.m_nSyncMatches = 1;
    m.m_dRiseRate = 400;
    m.m_dFallRate = 400;
    m.m_dMaxVoltage = 3.3;
    CAnalysisRecord record;
    record.m_Measurements.push_back(m);
    record.m_dSampleRate = 4e9;
    record.m_strFileA = fileA;
    record.m_strFileB = fileB;
    const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    return CTestPackets().TestPackets(std::move(record), *config, Spec("fs"));
}

}  // namespace

TEST(SignalReport, ReportIsWellFormedUtf8WithVerdictColoursAndHostileNamesShownAsText) {
    const CReportFolder temp;
    const fs::path& folder = temp.Path();
    const std::string name = "a<script>alert(1) #1 %41&\"5\xC2\xB5s'";
    const fs::path data = folder / (name + ".csv");
    CAnalysisRecord record = FullSpeedRecord(data.string());
    ASSERT_EQ(record.m_Verdicts.at(0).m_nSignalRate, kToolbox.m_nWaived);
    record.m_nPrepResult = 1;  // up-sampled from a coarse capture: the warning line shows
    // The plots another stage writes beside the data file.
    std::ofstream(folder / (name + "Plot.png")) << "png";
    std::ofstream(folder / (name + "Eye.png")) << "png";

    CUsbSigReport().WriteReport(record, kToolbox, Spec("fs"), false);
    const fs::path report = folder / (name + ".html");
    ASSERT_TRUE(fs::exists(report));
    const std::string html = Slurp(report);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n", 0), 0u);
    EXPECT_EQ(html.find("<script>"), std::string::npos);

    const std::vector<std::string> checked = Check(report);
    const std::vector<std::string> errors = Findings(checked, "ERROR");
    for (const std::string& error : errors) ADD_FAILURE() << error;
    ASSERT_FALSE(Findings(checked, "TEXT").empty()) << "the checker did not run";
    EXPECT_EQ(Findings(checked, "CHARSET"), std::vector<std::string>{"utf-8"});
    const std::vector<std::string> tags = Findings(checked, "TAG");
    EXPECT_EQ(std::count(tags.begin(), tags.end(), "script"), 0);
    EXPECT_EQ(Findings(checked, "TITLE"),
              std::vector<std::string>{"Full Speedtest results for " + name});
    EXPECT_EQ(Findings(checked, "IMG"),
              (std::vector<std::string>{name + "Plot.png", name + "Eye.png"}));

    const std::vector<std::string> fonts = Findings(checked, "FONT");
    const std::string green = "#006000";
    EXPECT_TRUE(HasFont(fonts, green, "Overall result: pass!"));
    EXPECT_TRUE(HasFont(fonts, "red", "*** Warning: Sample rate of 4.00 GS/s is too low"));
    EXPECT_TRUE(HasFont(fonts, "red",
                        "*** signal rate failure *** (minimum 11.9700 MHz, maximum 12.0300 MHz)"));
    EXPECT_TRUE(HasFont(fonts, green, "*** waiver granted ***"));
    for (const char* line :
         {"sync passes", "EOP width passes", "crossover voltages pass", "Monotonic Edge passes"}) {
        EXPECT_TRUE(HasFont(fonts, green, line)) << line;
    }
    // Jitter values are 0, inside the limits.
    EXPECT_TRUE(HasFont(fonts, green, "jitter passes"));

    const std::vector<std::string> text = Findings(checked, "TEXT");
    ASSERT_EQ(text.size(), 1u);
    EXPECT_NE(text[0].find("Measured signaling rate: 12.1000 MHz"), std::string::npos);
    EXPECT_NE(text[0].find("Data file: " + data.string() + "Test version: 2.20.00"),
              std::string::npos);
    EXPECT_NE(text[0].find("5\xC2\xB5s"), std::string::npos);
    EXPECT_NE(text[0].find("Full Speed Signal Quality Test Results for " + name),
              std::string::npos);
}

TEST(SignalReport, HighSpeedPairAndEusbRunsNameTheirTestAndBothFiles) {
    const CReportFolder temp;
    const fs::path& folder = temp.Path();
    CAnalysisRecord record =
        FullSpeedRecord((folder / "dp.csv").string(), (folder / "dm.csv").string());
    CUsbSigReport().WriteReport(record, kToolbox, Spec("fs"), false);
    const std::string pair = Slurp(folder / "dp.html");
    EXPECT_NE(pair.find("<li>Dplus DataFile: " + (folder / "dp.csv").string() +
                        "<br>"
                        "<li>Dminus Data File: " +
                        (folder / "dm.csv").string() + "<br>"),
              std::string::npos);

    // High speed: edge rates are required tests; the eUSB2 run of a near-end table has
    // no display name and no additional information.
    record.m_strFileB.clear();
    record.m_Measurements[0].m_dRiseRate = 1500;
    CUsbSigReport().WriteReport(record, kToolbox, Spec("hsne"), false);
    std::string hs = Slurp(folder / "dp.html");
    EXPECT_NE(hs.find("<title>Near End High Speedtest results for dp</title>"), std::string::npos);
    const std::size_t required = hs.find("Required Tests");
    const std::size_t extra = hs.find("Additional Information");
    EXPECT_LT(required, hs.find("Rising Edge Rate: 1500.00"));
    EXPECT_LT(hs.find("Rising Edge Rate: 1500.00"), extra);
    EXPECT_LT(extra, hs.find("Consecutive jitter range"));
    EXPECT_NE(hs.find("Margin Above eye"), std::string::npos);

    CUsbSigReport().WriteReport(record, kToolbox, Spec("hsne"), true);
    hs = Slurp(folder / "dp.html");
    EXPECT_NE(hs.find(kToolbox.m_strTitleFont + " Signal Quality Test"), std::string::npos);
    EXPECT_EQ(hs.find("Margin Above eye"), std::string::npos);

    CSigSpec repeater = Spec("ehsrep");
    EXPECT_EQ(CUsbSigReport::DisplayName(repeater, true), "eUSB High Speed Repeater");
    EXPECT_EQ(CUsbSigReport::DisplayName(repeater, false), "High Speed DS Hub");
    EXPECT_EQ(CUsbSigReport::DisplayName(Spec("hshub"), false), "High Speed DS Hub");
    EXPECT_EQ(CUsbSigReport::DisplayName(Spec("fshub"), false), "Full Speed DS Hub");
    EXPECT_EQ(CUsbSigReport::DisplayName(Spec("elsrep"), true), "eUSB Low Speed Repeater");
    EXPECT_EQ(CUsbSigReport::DisplayName(Spec("hsfe"), false), "Far End High Speed");
}

TEST(SignalReport, ReportPathReplacesOnlyTheLastExtension) {
    CUsbSigReport report;
    EXPECT_EQ(report.ReportPathFor("/caps/x.wfm.bin"), "/caps/x.wfm.html");
    EXPECT_EQ(report.m_strReportName, "x.wfm");
    EXPECT_EQ(report.ReportPathFor("/caps/noext"), "/caps/noext.html");
    EXPECT_EQ(report.ReportPathFor("hs1.csv"), (fs::current_path() / "hs1.html").string());
    EXPECT_EQ(report.m_strReportName, "hs1");
}

TEST(SignalReport, AFailedWriteLeavesTheEarlierReportAndNoTemporaryFile) {
    const CReportFolder temp;
    const fs::path& folder = temp.Path();
    const fs::path data = folder / "cap.csv";
    std::ofstream(folder / "cap.html") << "earlier report";
    CUsbSigReport().WriteReport(FullSpeedRecord(data.string()), kToolbox, Spec("fs"), false);
    EXPECT_NE(Slurp(folder / "cap.html").find("Overall result"), std::string::npos);

    // The report name taken by a folder: the page is written, but cannot be put in place.
    const fs::path blocked = folder / "blocked.html";
    fs::create_directory(blocked);
    std::ofstream(blocked / "inside") << "kept";
    try {
        CUsbSigReport().WriteReport(FullSpeedRecord((folder / "blocked.csv").string()), kToolbox,
                                    Spec("fs"), false);
        ADD_FAILURE() << "no error";
    } catch (const CAnalysisError& e) {
        EXPECT_EQ(e.Text(), "Failed to write report file blocked.html");
    }
    EXPECT_EQ(Slurp(blocked / "inside"), "kept");
    for (const auto& entry : fs::directory_iterator(folder)) {
        EXPECT_EQ(entry.path().filename().string().rfind(".", 0), std::string::npos)
            << entry.path();
    }

    try {
        CUsbSigReport().WriteReport(FullSpeedRecord((folder / "gone" / "cap.csv").string()),
                                    kToolbox, Spec("fs"), false);
        ADD_FAILURE() << "no error";
    } catch (const CAnalysisError& e) {
        EXPECT_EQ(e.Text(), "Failed to open report file");
    }

    // Without a verdict nothing is written.
    CAnalysisRecord unjudged = FullSpeedRecord((folder / "unjudged.csv").string());
    unjudged.m_Verdicts.clear();
    EXPECT_THROW(CUsbSigReport().WriteReport(unjudged, kToolbox, Spec("fs"), false),
                 std::out_of_range);
    EXPECT_FALSE(fs::exists(folder / "unjudged.html"));
}

TEST(SignalReport, HeadlessChromiumLoadsARunsReportWithItsPlotsInStandardsMode) {
    if (!fs::exists("/usr/bin/chromium")) GTEST_SKIP() << "no /usr/bin/chromium";
    const CReportFolder temp;
    const fs::path& folder = temp.Path();
    // Blank, "#" and "%" would break an unencoded image link; "<" and "&" unescaped markup.
    const std::string name = "run <1> & \xC2\xB5 #%";
    const fs::path data = folder / (name + ".csv");
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPackets = 1;
    synth::WriteHighSpeedCapture(params, data.string(), synth::FileFormat::Csv);
    CUsbSigCheck().Run(data.string(), "hsne", "", 0, 0, false);

    const fs::path probe = folder / "probe.html";
    std::ofstream(probe) << kProbeHead << CHtmlText::LinkTarget(name + ".html") << kProbeTail;
    const std::string dom = Output(
        "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--no-first-run --allow-file-access-from-files --virtual-time-budget=10000 "
        "--user-data-dir=" +
        Quoted((folder / "profile").string()) + " --dump-dom " + Quoted(FileUrl(probe)) +
        " 2>/dev/null");
    const std::vector<std::string> seen = ProbeLines(dom);
    ASSERT_FALSE(Findings(seen, "TEXT").empty()) << dom.substr(0, 400);
    EXPECT_EQ(Findings(seen, "MODE"), std::vector<std::string>{"CSS1Compat"});
    EXPECT_EQ(Findings(seen, "CHARSET"), std::vector<std::string>{"UTF-8"});
    EXPECT_EQ(Findings(seen, "SCRIPTS"), std::vector<std::string>{"0"});
    // Both plots found through their encoded links and decoded as 604 x 454 pictures.
    EXPECT_EQ(Findings(seen, "IMG"), (std::vector<std::string>{"604x454", "604x454"}));
    const std::string text = Findings(seen, "TEXT").front();
    EXPECT_NE(text.find("Near End High Speed Signal Quality Test Results for " + name),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Overall result: pass!"), std::string::npos);
    EXPECT_NE(text.find("Data file: " + data.string()), std::string::npos);
}
