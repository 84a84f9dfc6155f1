#include "input/CReadRandSbin.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "input/CBinaryFile.h"
#include "input/CByteFields.h"
#include "input/CSampleBlock.h"
#include "input/CTimeAxis.h"

namespace {

constexpr std::size_t kDataHeaderBytes = 8;  // format code, samples per channel
constexpr std::size_t kTimeStampBytes = 8;   // XY formats store a float64 time per step
constexpr std::size_t kMaxDescriptionBytes = std::size_t{16} << 20;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

[[noreturn]] void Fail(std::string_view pattern, const std::vector<std::string>& args) {
    throw CAnalysisError(ComposeMessage(pattern, args));
}

// Attributes of one element, from just after its tag name to its closing '>'.
// Values are quoted and may hold spaces (time stamps do); '>' inside quotes
// does not end the element.
std::vector<std::pair<std::string, std::string>> ParseAttributes(const std::string& text,
                                                                 std::size_t& at) {
    std::vector<std::pair<std::string, std::string>> attributes;
    while (at < text.size()) {
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at >= text.size() || text[at] == '>' || text[at] == '/') break;
        const std::size_t nameStart = at;
        while (at < text.size() && text[at] != '=' && text[at] != '>' &&
               !std::isspace(static_cast<unsigned char>(text[at]))) {
            ++at;
        }
        std::string name = text.substr(nameStart, at - nameStart);
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at >= text.size() || text[at] != '=') continue;
        ++at;
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at >= text.size() || (text[at] != '"' && text[at] != '\'')) continue;
        const char quote = text[at++];
        const std::size_t close = text.find(quote, at);
        if (close == std::string::npos) {
            at = text.size();
            break;
        }
        attributes.emplace_back(std::move(name), text.substr(at, close - at));
        at = close + 1;
    }
    return attributes;
}

}  // namespace

int32_t CReadRandSbin::Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                            std::vector<double>& second) {
    const std::size_t cut = Lower(path).rfind(".wfm.bin");
    const std::string headerPath = path.substr(0, cut) + ".bin";
    errno = 0;
    std::ifstream header(headerPath, std::ios::binary);
    if (!header) {
        const int error = errno != 0 ? errno : ENOENT;
        Fail("%s: %s", {std::strerror(error), FileNameOf(headerPath)});
    }
    // Sized before it is read: a multi-gigabyte capture of another scope that
    // happens to share the name must not be pulled into memory as text.
    header.seekg(0, std::ios::end);
    const std::streamoff size = header.tellg();
    if (size < 0 || size > static_cast<std::streamoff>(kMaxDescriptionBytes)) {
        Fail("File %s is too large for a waveform description", {FileNameOf(headerPath)});
    }
    header.seekg(0, std::ios::beg);
    std::string text(static_cast<std::size_t>(size), '\0');
    header.read(text.data(), size);
    text.resize(static_cast<std::size_t>(header.gcount()));
    ParseHeader(text);
    return ReadSamples(path, time, first, second);
}

void CReadRandSbin::ParseHeader(const std::string& text) {
    m_Properties.clear();
    for (std::size_t at = text.find("<Prop"); at != std::string::npos;
         at = text.find("<Prop", at)) {
        at += 5;
        if (at < text.size() && !std::isspace(static_cast<unsigned char>(text[at]))) continue;
        Property property;
        property.m_Attributes = ParseAttributes(text, at);
        for (const auto& [key, value] : property.m_Attributes) {
            if (key == "Name") property.m_strName = value;
        }
        if (!property.m_strName.empty()) m_Properties.push_back(std::move(property));
    }
    Number("XStart", XStart);
    Number("XStop", XStop);
    Number("HardwareXStart", HardwareXStart);
    Number("SignalResolution", SignalResolution);
    Number("SignalHardwareRecordLength", SignalHardwareRecordLength);
    Number("RecordLength", RecordLength);
    Number("LeadingSettlingSamples", LeadingSettlingSamples);
}

const CReadRandSbin::Property* CReadRandSbin::Find(const std::string& name) const {
    for (const Property& property : m_Properties) {
        if (SameName(property.m_strName, name)) return &property;
    }
    return nullptr;
}

std::string CReadRandSbin::Attribute(const std::string& name, const std::string& attribute) const {
    if (const Property* property = Find(name)) {
        for (const auto& [key, value] : property->m_Attributes) {
            if (key == attribute) return value;
        }
    }
    return {};
}

bool CReadRandSbin::Number(const std::string& name, double& value) const {
    const std::string text = Attribute(name, "Value");
    if (text.empty()) return false;
    // The description is written with a decimal point whatever the reader's locale.
    double parsed = 0.0;
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const char* const begin = text.data() + first;
    const auto result = fast_float::from_chars(begin, text.data() + text.size(), parsed);
    if (result.ec != std::errc() || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

int32_t CReadRandSbin::ReadSamples(const std::string& path, CSampleTimes& time,
                                   std::vector<double>& first, std::vector<double>& second) const {
    CBinaryFile file(path);
    const CByteFields words(file.ReadBlock(0, kDataHeaderBytes), file.Name());
    const std::string& name = file.Name();

    // The description names the format; older exports may leave it to the data
    // file's own format code.
    std::string format = Attribute("SignalFormat", "Value");
    if (format.empty()) {
        const std::uint32_t code = words.U32(0);
        format = code == 4   ? "eRS_SIGNAL_FORMAT_FLOAT"
                 : code == 0 ? "eRS_SIGNAL_FORMAT_INT8BIT"
                 : code == 6 ? "eRS_SIGNAL_FORMAT_XYDOUBLEFLOAT"
                             : std::to_string(code);
    }
    const bool isFloat = SameName(format, "eRS_SIGNAL_FORMAT_FLOAT");
    const bool isInt8 = SameName(format, "eRS_SIGNAL_FORMAT_INT8BIT");
    const bool isXY = SameName(format, "eRS_SIGNAL_FORMAT_XYDOUBLEFLOAT");
    if (!isFloat && !isInt8 && !isXY) {
        const std::size_t tail = format.rfind('_');
        Fail("File %s: sample format %s is not read",
             {name, tail == std::string::npos ? format : format.substr(tail + 1)});
    }

    // A multi-channel export interleaves the enabled channels sample by sample.
    std::size_t channels = 1;
    if (SameName(Attribute("MultiChannelExport", "Value"), "eRS_ONOFF_ON")) {
        std::size_t on = 0;
        if (const Property* state = Find("MultiChannelExportState")) {
            for (const auto& [key, value] : state->m_Attributes) {
                if (key.rfind("I_", 0) == 0 && SameName(value, "eRS_ONOFF_ON")) ++on;
            }
        }
        channels = std::max<std::size_t>(1, on);
    }
    if (channels > 2) {
        Fail("File %s holds %d channels; one or two can be read", {name, std::to_string(channels)});
    }
    if (isInt8 && channels > 1) Fail("File %s: multi-channel INT8 exports are not read", {name});

    if (!(RecordLength >= 0.0) || !(LeadingSettlingSamples >= 0.0) ||
        RecordLength > static_cast<double>(file.Size()) ||
        LeadingSettlingSamples > static_cast<double>(file.Size())) {
        Fail("File %s: its description gives no valid record length", {name});
    }
    const auto count = static_cast<std::size_t>(RecordLength);
    const auto skip = static_cast<std::size_t>(LeadingSettlingSamples);

    const ESampleType type = isInt8 ? ESampleType::Int8 : ESampleType::Float32;
    const std::size_t sampleBytes = SampleBytes(type);
    const std::size_t valueAt = isXY ? kTimeStampBytes : 0;
    const std::size_t stride = valueAt + channels * sampleBytes;

    double gain = 1.0;
    double shift = 0.0;
    if (isInt8) {
        double scale = 0.0, divisions = 0.0, levels = 0.0, offset = 0.0, position = 0.0;
        Number("VerticalScale", scale);
        Number("VerticalDivisionCount", divisions);
        Number("NofQuantisationLevels", levels);
        Number("VerticalOffset", offset);
        Number("VerticalPosition", position);
        if (!(levels > 0.0) || !(scale > 0.0) || !(divisions > 0.0)) {
            Fail("File %s: its description gives no vertical scale", {name});
        }
        gain = scale * divisions / levels;
        shift = offset - position * scale;
    }

    std::vector<CSampleLane> lanes{{valueAt, &first}};
    if (channels == 2)
        lanes.push_back({valueAt + sampleBytes, &second});
    else
        second.clear();
    CSampleBlock().Read(file, kDataHeaderBytes + static_cast<std::uint64_t>(skip) * stride, count,
                        stride, type, gain, shift, lanes);
    CTimeAxis().Fill(time, count, XStart, SignalResolution, name);
    return channels == 2 ? 3 : 2;
}
