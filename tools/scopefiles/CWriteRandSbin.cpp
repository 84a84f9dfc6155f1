#include "scopefiles/CWriteRandSbin.h"

#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "scopefiles/CByteImage.h"

namespace {

std::string Prop(const std::string& name, const std::string& value) {
    return "\t\t<Prop Avail=\"0\" ValueKey=\"\" Name=\"" + name + "\" Value=\"" + value + "\"/>\n";
}

std::string Number(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

}  // namespace

void CWriteRandSbin::Write(const std::string& dataPath, double origin, double interval,
                           const std::vector<double>& first,
                           const std::vector<double>& second) const {
    const bool pair = !second.empty();
    const std::size_t count = first.size();
    std::vector<float> samples;
    samples.reserve(pair ? 2 * count : count);
    for (std::size_t i = 0; i < count; ++i) {
        samples.push_back(static_cast<float>(first[i]));
        if (pair) samples.push_back(static_cast<float>(second[i]));
    }
    CByteImage data(8);
    data.Put<uint32_t>(0, 4);  // float samples
    data.Put<uint32_t>(4, static_cast<uint32_t>(count));
    data.Append(samples);
    data.Save(dataPath);

    const std::size_t cut = dataPath.size() >= 8 ? dataPath.size() - 8 : 0;  // ".Wfm.bin"
    std::ofstream header(dataPath.substr(0, cut) + ".bin", std::ios::trunc);
    header << "<?xml version=\"1.0\" standalone=\"no\"?>\n<Database SaveItemType=\"Data\">\n"
           << "\t<Group Avail=\"0\" Name=\"ReferenceCurveAttributes\">\n"
           << Prop("RecordLength", std::to_string(count)) << Prop("XStart", Number(origin))
           << Prop("XStop", Number(origin + interval * static_cast<double>(count)))
           << Prop("HardwareXStart", Number(origin)) << Prop("SignalResolution", Number(interval))
           << Prop("SignalHardwareRecordLength", std::to_string(count))
           << Prop("LeadingSettlingSamples", "0") << Prop("SignalFormat", "eRS_SIGNAL_FORMAT_FLOAT")
           << Prop("MultiChannelExport", pair ? "eRS_ONOFF_ON" : "eRS_ONOFF_OFF")
           << "\t\t<Prop Avail=\"0\" Name=\"MultiChannelExportState\" Size=\"4\" "
              "I_0=\"eRS_ONOFF_ON\" I_1=\""
           << (pair ? "eRS_ONOFF_ON" : "eRS_ONOFF_OFF")
           << "\" I_2=\"eRS_ONOFF_OFF\" I_3=\"eRS_ONOFF_OFF\"/>\n"
           << Prop("Timestamp", "2024:01:01 12:00 0,000.000.000 s") << "\t</Group>\n</Database>\n";
    if (!header) throw std::runtime_error("cannot write the description of " + dataPath);
}
