#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FailureText.h"
#include "library/AnalysisRun.h"
#include "library/signal/SignalCaptures.h"
#include "report/CHtmlText.h"
#include "report/CUsbSigReport.h"

namespace fs = std::filesystem;
using namespace captures;

namespace {

// Where `phrase` stands on the page, by the section headings before it.
enum ESection { kRequired, kAdditional, kAbsent };
ESection SectionOf(const std::string& html, const std::string& phrase) {
    const std::size_t at = html.find(phrase);
    if (at == std::string::npos || at > html.find("SignalData and Eye")) return kAbsent;
    return at < html.find("Additional Information") ? kRequired : kAdditional;
}

}  // namespace

TEST(SignalReport, PageIsWellFormedUtf8AndShowsAHostileFileNameAsText) {
    const CTempFolder folder("velkin report #");
    // Markup, a character reference, a blank, "#", "%", quotes, a two-byte character,
    // and a full stop that is not the extension's.
    const std::string name = "a<script>alert(1) &lt; #1 %41&\"5\xC2\xB5s'.x";
    const std::string data = folder.Path(name + ".csv");
    CAnalysisRecord record = CleanPacket(false, data);
    record.m_nPrepResult = 1;  // up-sampled from a coarse capture
    CPendingOutputs outputs;
    CUsbSigReport().WriteReport(record, Codes(), Limits("fs"), false, outputs, {});
    outputs.Commit();

    const std::string html = Slurp(folder.Path(name + ".html"));
    EXPECT_EQ(html.rfind("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n", 0), 0u);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    const CReportText page(html);
    EXPECT_EQ(page.Mistakes(), std::vector<std::string>{});
    for (const std::string& line : std::vector<std::string>{
             "Full Speedtest results for " + name, "Full Speed Signal Quality Test",
             "Results for " + name, "Overall result: pass!",
             "*** Warning: Sample rate of 4.00 GS/s", "Oscilloscope sample rate: 4.000 GS/s",
             "Data file: " + data, "Test version: 2.20.00"})
        EXPECT_NE(page.Colour(line), "absent") << line;
}

TEST(SignalReport, PageNamesItsTestAndListsEachFigureUnderItsSection) {
    const CTempFolder folder;
    // An eUSB2 run of a device table has no name and no additional information; a
    // repeater table run without the eUSB2 flag is a hub port.
    const struct {
        const char *keyword, *name;
        bool eusb;
        ESection edges, jitter;
    } cases[] = {
        {"hsne", "Near End High Speed", false, kRequired, kAdditional},
        {"hsne", "", true, kRequired, kAbsent},
        {"hsfe", "Far End High Speed", false, kRequired, kAdditional},
        {"hshub", "High Speed DS Hub", false, kRequired, kAdditional},
        {"ehsrep", "eUSB High Speed Repeater", true, kRequired, kAdditional},
        {"ehsrep", "High Speed DS Hub", false, kRequired, kAdditional},
        {"fs", "Full Speed", false, kAdditional, kRequired},
        {"fshub", "Full Speed DS Hub", false, kAdditional, kRequired},
        {"efsrep", "eUSB Full Speed Repeater", true, kAdditional, kRequired},
        {"ls", "Low Speed", false, kAdditional, kRequired},
        {"lshub", "Low Speed DS Hub", false, kAdditional, kRequired},
        {"elsrep", "eUSB Low Speed Repeater", true, kAdditional, kRequired},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.keyword) + (c.eusb ? " eUSB2" : ""));
        const CSigSpec spec = Limits(c.keyword);
        CPendingOutputs outputs;
        CUsbSigReport().WriteReport(CleanPacket(spec.m_nSpeed == 3, folder.Path("dp.csv")), Codes(),
                                    spec, c.eusb, outputs, {});
        outputs.Commit();
        const std::string html = Slurp(folder.Path("dp.html"));
        EXPECT_NE(html.find("<title>" + std::string(c.name) + "test results for dp</title>"),
                  std::string::npos);
        EXPECT_EQ(SectionOf(html, "Rising Edge Rate"), c.edges);
        EXPECT_EQ(SectionOf(html, "Falling Edge Rate"), c.edges);
        EXPECT_EQ(SectionOf(html, "Consecutive jitter range"), c.jitter);
        EXPECT_EQ(SectionOf(html, "Margin Above eye"), c.jitter == kAbsent ? kAbsent : kAdditional);
    }
}

// The report's name taken by a folder: the page is written but cannot be put in place.
TEST(SignalReport, FailedWriteLeavesWhatStandsInItsPlaceAndNoTemporaryFile) {
    const CTempFolder folder;
    fs::create_directory(folder.Path("blocked.html"));
    std::ofstream(folder.Path("blocked.html/inside")) << "kept";
    for (const auto& [data, failure] :
         {std::pair{"blocked.csv", "Failed to write report file blocked.html"},
          {"gone/cap.csv", "Failed to open report file"}}) {
        const std::string path = folder.Path(data);
        EXPECT_EQ(FailureText([&] {
                      CPendingOutputs failing;
                      CUsbSigReport().WriteReport(CleanPacket(false, path), Codes(), Limits("fs"),
                                                  false, failing, {});
                      failing.Commit();
                  }),
                  failure);
    }
    EXPECT_EQ(Slurp(folder.Path("blocked.html/inside")), "kept");
    for (const auto& entry : fs::directory_iterator(folder.Path()))
        EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
}

namespace {

// A page that opens a report in a frame and lists what the browser made of it: the
// parsing mode (a missing or wrong doctype gives quirks mode), the character set,
// the scripts in it, the size each image decoded to (0x0 when it did not load)
// and its text with blanks collapsed.
constexpr const char* kProbe = R"HTML(<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body><pre id="out">not loaded</pre>
<iframe id="report" src="%s"></iframe>
<script>
const frame = document.getElementById("report");
frame.addEventListener("load", () => {
  const page = frame.contentDocument;
  const lines = [page.compatMode, page.characterSet, "scripts " + page.scripts.length];
  for (const img of page.images) lines.push(img.naturalWidth + "x" + img.naturalHeight);
  lines.push(page.body.innerText.replace(/\s+/g, " "));
  document.getElementById("out").textContent = lines.join("\n");
});
</script></body></html>
)HTML";

}  // namespace

TEST(SignalReport, BrowserShowsARunsReportWithBothPlotsInStandardsMode) {
    if (!fs::exists("/usr/bin/chromium")) GTEST_SKIP() << "no /usr/bin/chromium";
    CAnalysisRun run;
    // Blank, "#" and "%" would break an unencoded image link; "<" and "&" unescaped
    // markup. The folder's name holds no quote, so the shell takes paths in quotes.
    const std::string name = "run <1> & \xC2\xB5 #%";
    run.HighSpeed(name + ".csv");
    ASSERT_EQ(run.RunCapture(name + ".csv", "hsne"), "");

    std::string probe(kProbe);
    probe.replace(probe.find("%s"), 2, CHtmlText::LinkTarget(name + ".html"));
    std::ofstream(run.Path("probe.html")) << probe;
    std::string url = "file://";
    for (const auto& part : fs::path(run.Path("probe.html")).relative_path())
        url.append("/").append(CHtmlText::LinkTarget(part.string()));
    const std::string command =
        "timeout 120 /usr/bin/chromium --headless --no-sandbox --disable-gpu --no-first-run "
        "--disable-background-networking --disable-component-update --disable-sync "
        "--allow-file-access-from-files --virtual-time-budget=10000 --user-data-dir='" +
        run.Path("profile") + "' --dump-dom '" + url + "' >'" + run.Path("dom.html") +
        "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string dom = Slurp(run.Path("dom.html"));
    const CReportText seen(dom);
    // Both plots found through their encoded links and decoded as whole pictures.
    for (const std::string& line :
         std::vector<std::string>{"CSS1Compat\nUTF-8\nscripts 0\n604x454\n604x454\n",
                                  "Near End High Speed Signal Quality Test Results for " + name,
                                  "Overall result: pass!", "Data file: " + run.Path(name + ".csv")})
        EXPECT_NE(seen.Colour(line), "absent") << line << "\n" << dom.substr(0, 1000);
}
