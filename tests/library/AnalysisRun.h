#pragma once

// What the tests of whole signal-quality runs share: captures synthesized with a
// known truth and run as the export runs them, a record judged by hand, the report
// read back as a reader sees it (text in its colour), a summary read back cell by
// cell as a spreadsheet reads it, and the plots read back as pictures.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "ResultSchema.h"
#include "common/CAnalysisError.h"
#include "signal/CAnalysisRecord.h"
#include "entry/CUsbSigCheck.h"
#include "plot/CCanvas.h"
#include "report/CToolboxGlobals.h"
#include "synth/Synth.h"

// The report as a reader sees it: runs of text with character references undone,
// each in the colour of the innermost coloured font around it ("" when uncoloured).
// Elements closed out of order or left open are mistakes: a browser repairs them
// by splitting the element, and a verdict colour can leak into the next line.
class CReportText {
public:
    explicit CReportText(const std::string& html) {
        std::vector<std::string> fonts, open;
        std::string text;
        auto flush = [&] {
            static const char* const kEntities[][2] = {{"&lt;", "<"},    {"&gt;", ">"},
                                                       {"&quot;", "\""}, {"&#39;", "'"},
                                                       {"&nbsp;", " "},  {"&amp;", "&"}};
            for (const auto& [entity, c] : kEntities)
                for (std::size_t at; (at = text.find(entity)) != std::string::npos;)
                    text.replace(at, std::string(entity).size(), c);
            if (text.find_first_not_of(" \n\t") != std::string::npos)
                m_Runs.push_back({text, fonts.empty() ? "" : fonts.back()});
            text.clear();
        };
        for (std::size_t i = 0; i < html.size(); ++i) {
            if (html[i] != '<') {
                text += html[i];
                continue;
            }
            const std::size_t end = html.find('>', i);
            const std::string tag = html.substr(i + 1, end - i - 1);
            const std::string name = tag.substr(0, tag.find_first_of(" \n"));
            i = end;
            flush();
            const std::size_t at = tag.find("color=\"");
            if (name == "font" && at != std::string::npos)
                fonts.push_back(tag.substr(at + 7, tag.find('"', at + 7) - at - 7));
            else if (name == "font")
                fonts.push_back(fonts.empty() ? "" : fonts.back());
            if (name == "/font" && !fonts.empty()) fonts.pop_back();
            if (name == "br" || name == "img" || name == "meta" || name[0] == '!') continue;
            if (name[0] != '/') {
                open.push_back(name);
                continue;
            }
            // Items and paragraphs may be left open, but not across a font.
            while (!open.empty() && open.back() != name.substr(1) && name != "/font" &&
                   (open.back() == "li" || open.back() == "p"))
                open.pop_back();
            if (!open.empty() && open.back() == name.substr(1))
                open.pop_back();
            else
                m_Mistakes.push_back("<" + name + "> closes " + (open.empty() ? "" : open.back()));
        }
        flush();
        for (const std::string& name : open)
            if (name != "li" && name != "p") m_Mistakes.push_back("unclosed <" + name + ">");
    }

    // Colour of the first run holding `phrase`; "absent" when no run holds it.
    std::string Colour(const std::string& phrase) const {
        const std::size_t i = Find(phrase);
        return i < m_Runs.size() ? m_Runs[i].colour : "absent";
    }
    // The number printed right after `label`.
    double Number(const std::string& label) const {
        const std::size_t i = Find(label);
        if (i >= m_Runs.size()) return std::nan("");
        const std::string& run = m_Runs[i].text;
        return std::strtod(run.c_str() + run.find(label) + label.size(), nullptr);
    }
    bool AnyIn(const std::string& colour) const {
        return std::any_of(m_Runs.begin(), m_Runs.end(),
                           [&](const CRun& run) { return run.colour == colour; });
    }
    const std::vector<std::string>& Mistakes() const { return m_Mistakes; }

private:
    struct CRun {
        std::string text, colour;
    };
    std::size_t Find(const std::string& phrase) const {
        return std::find_if(
                   m_Runs.begin(), m_Runs.end(),
                   [&](const CRun& run) { return run.text.find(phrase) != std::string::npos; }) -
               m_Runs.begin();
    }
    std::vector<CRun> m_Runs;
    std::vector<std::string> m_Mistakes;
};

// A comma-separated file as a spreadsheet reads it: a quoted cell may hold commas,
// doubled quotes and line breaks.
using CCsvRows = std::vector<std::vector<std::string>>;

inline CCsvRows ReadCsv(const std::string& path) {
    const std::string text = Slurp(path);
    CCsvRows rows(1);
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' && quoted && i + 1 < text.size() && text[i + 1] == '"') {
            cell += text[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == ',' || c == '\n')) {
            rows.back().push_back(cell);
            cell.clear();
            if (c == '\n') rows.emplace_back();
        } else if (quoted || c != '\r') {
            cell += c;
        }
    }
    if (!cell.empty() || !rows.back().empty()) rows.back().push_back(cell);
    if (rows.back().empty()) rows.pop_back();
    return rows;
}

// The cell under the header `column` in line `line` (1 is the first after the header).
inline std::string Cell(const CCsvRows& rows, const std::string& column, std::size_t line = 1) {
    for (std::size_t i = 0; !rows.empty() && i < rows[0].size(); ++i)
        if (rows[0][i] == column) return line < rows.size() ? rows[line].at(i) : "no line";
    return "no column " + column;
}

// The record the verdict stage leaves for one clean packet, every figure passing:
// 12 Mbit/s, a 2-bit EOP, crossovers from 1.55 to 1.66 V, jitter of a few hundred
// picoseconds, 400 V/us edges; at high speed 480 Mbit/s, an 8-bit EOP, 1500 V/us
// edges and a 0.4 V swing. Sampled at 4 GS/s.
inline CAnalysisRecord CleanPacket(bool highSpeed, const std::string& file = "") {
    CPacketMeasurement m;
    m.m_dUnitInterval = highSpeed ? 1 / 480e6 : 1 / 12e6;
    m.m_dEopStart = 1e-6;
    m.m_dEopEnd = 1e-6 + (highSpeed ? 8 : 2) * m.m_dUnitInterval;
    m.m_dFirstCrossover = m.m_dMinCrossover = 1.55;
    m.m_dMaxCrossover = 1.66;
    m.m_dMeanCrossover = 1.6;
    m.m_nCrossings = 12;
    m.m_dConsecJitterMin = -5e-10;
    m.m_dConsecJitterMax = 5e-10;
    m.m_dConsecJitterRms = 2e-10;
    m.m_dJKJitterMin = m.m_dKJJitterMin = -3e-10;
    m.m_dJKJitterMax = m.m_dKJJitterMax = 3e-10;
    m.m_dRiseRate = m.m_dFallRate = highSpeed ? 1500 : 400;
    m.m_dMonotonic = 0.01;
    m.m_dMaxVoltage = highSpeed ? 0.4 : 3.3;
    m.m_dMarginAboveEye = 0.0123;
    CPacketVerdict v;
    for (int32_t* code : {&v.m_nOverall, &v.m_nEye, &v.m_nCrossover, &v.m_nEopWidth,
                          &v.m_nSignalRate, &v.m_nSyncFound, &v.m_nSyncLength, &v.m_nHubSync,
                          &v.m_nRiseRate, &v.m_nFallRate, &v.m_nMonotonic, &v.m_nJitter})
        *code = CToolboxGlobals().GetGlobals().m_nPass;
    for (int32_t* ok :
         {&v.m_bMarginAboveEye, &v.m_bMarginBelowEye, &v.m_bMarginBelowTop, &v.m_bMarginAboveBottom,
          &v.m_bMaxVoltageOk, &v.m_bMinVoltageOk, &v.m_bAllEdgesFound})
        *ok = 1;
    CAnalysisRecord record;
    record.m_Measurements = {m};
    record.m_Verdicts = {v};
    record.m_dSampleRate = 4e9;
    record.m_strFileA = file;
    return record;
}

// A written picture; an empty one, on which every pixel check fails, when unreadable.
inline CCanvas::CImage Picture(const std::string& path) {
    return CCanvas::ReadPng(path).value_or(CCanvas::CImage{});
}

inline CRgb Rgb(const std::vector<int32_t>& c) { return {c.at(0), c.at(1), c.at(2)}; }

// True when `colour` lies within a pixel of (x, y): a level that falls between two
// rows may be drawn on either.
inline bool Near(const CCanvas::CImage& image, int x, int y, CRgb colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (image.At(x + dx, y + dy) == colour) return true;
    return false;
}

// The frame of a plot as read from the picture: the black lines that span most of
// it. An axis runs from its first value on one frame line to its last on the other.
struct CPlotFrame {
    int left = -1, top = -1, right = -1, bottom = -1;

    explicit CPlotFrame(const CCanvas::CImage& image) {
        for (int x = 0; x < image.width; ++x)
            if (Black(image, x, 0, 0, 1) > image.height / 2) right = x, left = left < 0 ? x : left;
        for (int y = 0; y < image.height; ++y)
            if (Black(image, 0, y, 1, 0) > image.width / 2) bottom = y, top = top < 0 ? y : top;
    }
    static int Black(const CCanvas::CImage& image, int x, int y, int dx, int dy) {
        int n = 0;
        for (; x < image.width && y < image.height; x += dx, y += dy) n += image.At(x, y) == CRgb{};
        return n;
    }
    int Column(double x, double x0, double x1) const {
        return static_cast<int>(std::lround(left + (right - left) * (x - x0) / (x1 - x0)));
    }
    int Row(double y, double y0, double y1) const {
        return static_cast<int>(std::lround(bottom - (bottom - top) * (y - y0) / (y1 - y0)));
    }
};

// A folder of captures and one driver for all of them, as the library keeps one
// for its lifetime: a batch summary started by one run is appended to by the next.
class CAnalysisRun {
public:
    std::string Path(const std::string& name) const { return m_Folder.Path(name); }
    // What the run of the capture `name` wrote beside it.
    std::string Beside(const std::string& name, const std::string& suffix) const {
        return Path(name.substr(0, name.rfind('.')) + suffix);
    }
    CReportText Report(const std::string& name) const {
        return CReportText(Slurp(Beside(name, ".html")));
    }
    CCsvRows Summary(const std::string& name) const { return ReadCsv(Beside(name, "_sum.csv")); }

    // One packet: every figure can be measured, and the run is quick.
    synth::SynthTruth HighSpeed(const std::string& name, synth::HighSpeedParams params = {}) const {
        params.m_Traffic.m_nPackets = 1;
        return synth::WriteHighSpeedCapture(params, Path(name), synth::FileFormat::Csv);
    }
    // Four bytes and short idles: a bit spans some pixels of the signal plot.
    synth::SynthTruth FullSpeed(const std::string& name) const {
        synth::SingleEndedParams params;
        params.m_Traffic.m_nPackets = 1;
        params.m_Traffic.m_nPayloadBytes = 4;
        params.m_Traffic.m_nLeadIdleBits = params.m_Traffic.m_nGapIdleBits = 16;
        return synth::WriteSingleEndedCapture(params, Path(name), synth::FileFormat::Csv);
    }

    // Runs the capture as the export does, with the D- file of a pair given in two
    // files, the summary mode, the hubs in front of the probe and the eUSB2 flag:
    // the text that stopped it, or "" when the report was written.
    std::string RunCapture(const std::string& name, const std::string& type,
                           const std::string& second = "", unsigned mode = 0, unsigned hubs = 0,
                           bool eusb = false) {
        try {
            m_Driver.Run(Path(name), type, second.empty() ? "" : Path(second), mode, hubs, eusb);
        } catch (const CAnalysisError& error) {
            return error.what();
        } catch (...) {
            return "Unknown Exception";
        }
        return "";
    }

    // A blank and "#" in the folder's name, as lab folders have: links still work.
    CTempFolder m_Folder{"velkin run #"};
    CUsbSigCheck m_Driver;
};
