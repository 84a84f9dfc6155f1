#pragma once

// Synthesized captures as the signal-quality run sees them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "report/CToolboxGlobals.h"
#include "signal/CMeasurePackets.h"
#include "signal/CSignalData.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "synth/Synth.h"

namespace captures {

inline const CSigConfig& Config() {
    static const CSigConfig config = *CSignalConfig().BuildConfig();
    return config;
}

inline const CToolboxRecord& Codes() {
    static const CToolboxRecord codes = CToolboxGlobals().GetGlobals();
    return codes;
}

// The limits of a test type, widened for `hubs` hubs as the run driver does.
inline CSigSpec Limits(const std::string& keyword, unsigned hubs = 0) {
    std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec(keyword);
    AdjustForHubs(*spec, keyword, hubs);
    return *spec;
}

// Reads a capture, measures its first complete packet and judges it. The record moves
// through the stages: the verdicts hold the very samples the capture was read into.
inline CAnalysisRecord Analyse(const std::string& file, const std::string& keyword) {
    const CSigSpec spec = Limits(keyword);
    CAnalysisRecord record = CSignalData().Load(file, Config(), spec, "");
    const double* const samples = record.m_Diff.data();
    record = CMeasurePackets().Run(std::move(record), Config(), spec);
    record = CTestPackets().TestPackets(std::move(record), Config(), spec);
    EXPECT_EQ(record.m_Diff.data(), samples);
    return record;
}

struct Measured {
    synth::SynthTruth m_Truth;
    CAnalysisRecord m_Record;
    const CPacketMeasurement& M() const { return m_Record.m_Measurements.at(0); }
    const CPacketVerdict& V() const { return m_Record.m_Verdicts.at(0); }
    const CPacketEntry& Packet() const {  // the one measured
        std::size_t p = 0;
        while (m_Record.m_Packets.at(p).m_nStatus != 0) ++p;
        return m_Record.m_Packets[p];
    }
};

// Writes every channel of `source` into a capture file ("capture.csv", "capture.bin"...)
// and analyses it.
inline Measured Analyse(const synth::SampleSource& source, const synth::SynthTruth& truth,
                        const std::string& keyword, const std::string& name = "capture.csv") {
    const CTempFolder folder("velkin_signal_");
    const std::string file = folder.Path(name);
    Measured m{truth, {}};
    std::vector<int> channels(source.m_ChannelNames.size());
    for (std::size_t c = 0; c < channels.size(); ++c) channels[c] = static_cast<int>(c);
    synth::WriteSamples(source, {{file, channels}}, synth::FormatOfPath(file), truth.m_strKind,
                        m.m_Truth);
    m.m_Record = Analyse(file, keyword);
    return m;
}

inline Measured HighSpeed(const synth::HighSpeedParams& params, const std::string& keyword = "hsne",
                          const std::string& name = "capture.csv") {
    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeHighSpeedSource(params, truth);
    return Analyse(source, truth, keyword, name);
}

inline Measured Pair(const synth::SingleEndedParams& params) {
    synth::SynthTruth truth;
    const synth::SampleSource source = synth::MakeSingleEndedSource(params, truth);
    return Analyse(source, truth, params.m_Speed == synth::Speed::Full ? "fs" : "ls");
}

// High-speed traffic of long packets, the EOP timed at the receiver threshold.
inline synth::HighSpeedParams LongPackets() {
    synth::HighSpeedParams params;
    params.m_Traffic.m_nPayloadBytes = 24;
    params.m_dThreshold = Limits("hsne").m_dDiffThreshold;
    return params;
}

// A clean capture of long packets, measured once: tests edit copies of what it gave.
inline const Measured& CleanHighSpeed() {
    static const Measured m = HighSpeed(LongPackets());
    return m;
}

}  // namespace captures
