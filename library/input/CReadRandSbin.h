#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "common/CSampleTimes.h"

// Reads one Rohde & Schwarz waveform: samples in X.Wfm.bin, acquisition
// settings as XML properties in X.bin beside it. Float, 8-bit and time-stamped
// (XY) sample formats are decoded; a two-channel export stores its channels
// interleaved and becomes a pair of traces.
class CReadRandSbin {
public:
    // Returns 2 for one trace (in `first`) or 3 for two (in `first` and `second`).
    int32_t Read(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                 std::vector<double>& second);

    // One <Prop> element of the description: its Name and all its attributes.
    struct Property {
        std::string m_strName;
        std::vector<std::pair<std::string, std::string>> m_Attributes;
    };

    std::vector<Property> m_Properties;
    double XStart = 0.0;
    double XStop = 0.0;
    double HardwareXStart = 0.0;
    double SignalResolution = 0.0;
    double SignalHardwareRecordLength = 0.0;
    double RecordLength = 0.0;
    double LeadingSettlingSamples = 0.0;

private:
    void ParseHeader(const std::string& text);
    int32_t ReadSamples(const std::string& path, CSampleTimes& time, std::vector<double>& first,
                        std::vector<double>& second) const;
    const Property* Find(const std::string& name) const;
    std::string Attribute(const std::string& name, const std::string& attribute) const;
    bool Number(const std::string& name, double& value) const;
};
