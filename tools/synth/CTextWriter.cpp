#include "synth/CTextWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>
#include <stdexcept>

#include "synth/Synth.h"

namespace synth {

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
// Room for one row of three numbers with separators.
constexpr std::size_t kRowReserve = 128;
// Every comma-separated capture opens with this many lines that are never data.
constexpr int kCsvHeaderLines = 25;

std::string Number(double value) {
    char text[40];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, 12);
    return std::string(text, result.ptr);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

CTextWriter::CTextWriter(const std::string& path, FileFormat format)
    : m_File(std::fopen(path.c_str(), "wb")),
      m_strPath(path),
      m_Buffer(kBufferBytes),
      m_cSeparator(format == FileFormat::Csv ? ',' : '\t') {
    if (!m_File) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

void CTextWriter::Flush() {
    if (m_nUsed > 0 && std::fwrite(m_Buffer.data(), 1, m_nUsed, m_File.get()) != m_nUsed) {
        throw std::runtime_error("cannot write " + m_strPath + ": " + std::strerror(errno));
    }
    m_nUsed = 0;
}

void CTextWriter::Line(const std::string& text) {
    if (m_nUsed + text.size() + 1 > m_Buffer.size()) Flush();
    std::memcpy(m_Buffer.data() + m_nUsed, text.data(), text.size());
    m_nUsed += text.size();
    m_Buffer[m_nUsed++] = '\n';
}

void CTextWriter::Row(double time, const double* values, std::size_t count) {
    if (m_nUsed + kRowReserve * (count + 1) > m_Buffer.size()) Flush();
    char* p = m_Buffer.data() + m_nUsed;
    char* const end = m_Buffer.data() + m_Buffer.size();
    p = std::to_chars(p, end, time, std::chars_format::scientific, 12).ptr;
    for (std::size_t i = 0; i < count; ++i) {
        *p++ = m_cSeparator;
        p = std::to_chars(p, end, values[i], std::chars_format::general, 6).ptr;
    }
    *p++ = '\n';
    m_nUsed = static_cast<std::size_t>(p - m_Buffer.data());
}

void CTextWriter::Close() {
    Flush();
    if (std::fclose(m_File.release()) != 0) {
        throw std::runtime_error("cannot write " + m_strPath + ": " + std::strerror(errno));
    }
}

FileFormat FormatOfPath(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const auto endsWith = [&](const std::string& ext) {
        return lower.size() >= ext.size() &&
               lower.compare(lower.size() - ext.size(), ext.size(), ext) == 0;
    };
    if (endsWith(".tsv")) return FileFormat::Tsv;
    if (endsWith(".wfm.bin")) return FileFormat::RandSbin;
    if (endsWith(".bin")) return FileFormat::KeysightBin;
    if (endsWith(".wfm")) return FileFormat::TekWfm;
    if (endsWith(".trc")) return FileFormat::LecroyTrc;
    return FileFormat::Csv;
}

std::string TruthPath(const std::string& capturePath) { return capturePath + ".truth.json"; }

void WriteSamples(const SampleSource& source, const std::vector<OutputFile>& files,
                  FileFormat format, const std::string& kind, SynthTruth& truth) {
    if (format != FileFormat::Csv && format != FileFormat::Tsv) {
        return WriteScopeFiles(source, files, format, truth);
    }
    const std::string truthName =
        truth.m_Files.empty() ? "" : BaseName(TruthPath(truth.m_Files.front()));
    const std::string units = kind == "inrush" ? "A" : "V";
    std::vector<CTextWriter> writers;
    writers.reserve(files.size());
    for (const OutputFile& file : files) {
        writers.emplace_back(file.m_strPath, format);
        CTextWriter& writer = writers.back();
        std::string names;
        for (int c : file.m_Channels) {
            if (!names.empty()) names += ',';
            names += source.m_ChannelNames.at(static_cast<std::size_t>(c));
        }
        if (format == FileFormat::Tsv) {
            writer.Line("% velkin-synth " + kind + " capture, truth in " + truthName);
            writer.Line("% record length " + std::to_string(source.m_nSamples) +
                        ", sample interval " + Number(source.m_dSampleInterval) + " s");
            std::string columns = "% time";
            for (int c : file.m_Channels)
                columns += "\t" + source.m_ChannelNames.at(static_cast<std::size_t>(c));
            writer.Line(columns);
            continue;
        }
        // The reader takes the column count from the second line, so every header
        // line carries as many fields as a data row.
        const std::size_t extra = file.m_Channels.size() - 1;
        const auto line = [&](const std::string& key, const std::string& value) {
            std::string text = key + "," + value;
            for (std::size_t i = 0; i < extra; ++i) text += "," + value;
            writer.Line(text);
        };
        line("Synthesized", "velkin-synth");
        line("Kind", kind);
        line("Record Length", std::to_string(source.m_nSamples));
        line("Sample Interval", Number(source.m_dSampleInterval));
        line("Sample Rate", Number(1.0 / source.m_dSampleInterval));
        line("Start Time", Number(source.m_dStartTime));
        line("Seed", std::to_string(truth.m_nSeed));
        line("Truth", truthName);
        line("Vertical Units", units);
        writer.Line("Channel," + names);
        for (int i = 11; i < kCsvHeaderLines; ++i) line("Reserved", "-");
        writer.Line("Time," + names);
    }

    std::vector<double> values(source.m_ChannelNames.size());
    std::vector<double> row(values.size());
    for (std::size_t k = 0; k < source.m_nSamples; ++k) {
        source.m_Sample(k, values.data());
        const double time = source.Time(k);
        for (std::size_t f = 0; f < files.size(); ++f) {
            const std::vector<int>& channels = files[f].m_Channels;
            for (std::size_t c = 0; c < channels.size(); ++c)
                row[c] = values[static_cast<std::size_t>(channels[c])];
            writers[f].Row(time, row.data(), channels.size());
        }
    }
    for (CTextWriter& writer : writers) writer.Close();
}

}  // namespace synth
