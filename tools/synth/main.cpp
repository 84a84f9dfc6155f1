// velkin-synth: writes USB captures with known truth for tests, benchmarks and examples.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "synth/Synth.h"

namespace {

constexpr const char* kOutHelp =
    "format by extension: .csv, .tsv, .bin (Keysight), .wfm (Tektronix), .trc (LeCroy), "
    ".Wfm.bin (R&S, header in .bin)";

void AddTraffic(CLI::App& app, synth::TrafficParams& t) {
    app.add_option("--packets", t.m_nPackets, "packets (0: fill --samples)");
    app.add_option("--bytes", t.m_nPayloadBytes, "random payload bytes per packet");
    app.add_option("--eop-bits", t.m_nEopBits,
                   "EOP length in bits (0: 8 high speed, 2 full/low speed)");
    app.add_option("--lead-idle", t.m_nLeadIdleBits, "idle bits before the first packet");
    app.add_option("--gap-idle", t.m_nGapIdleBits, "idle bits after each packet");
    app.add_option("--ppm", t.m_dRatePpm, "bit-rate offset, ppm");
    app.add_option("--rj", t.m_Jitter.m_dRandomRms, "random jitter rms, s");
    app.add_option("--pj", t.m_Jitter.m_dPeriodicAmplitude, "periodic jitter amplitude, s");
    app.add_option("--pj-freq", t.m_Jitter.m_dPeriodicFrequency, "periodic jitter frequency, Hz");
    app.add_option("--noise", t.m_dNoiseRms, "additive noise rms, V");
    app.add_option("--samples", t.m_nSamples, "capture length in samples (0: fit the packets)");
    app.add_option("--start", t.m_dStartTime, "time of the first sample, s");
    app.add_option("--seed", t.m_nSeed, "seed of payload, jitter and noise");
}

void Report(const synth::SynthTruth& truth) {
    for (const std::string& file : truth.m_Files) std::printf("%s\n", file.c_str());
    std::printf("%s (%zu samples)\n", synth::TruthPath(truth.m_Files.front()).c_str(),
                truth.m_nSamples);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Writes USB 2.0 captures with a JSON sidecar holding their truth"};
    app.require_subcommand(1);
    std::string out;
    std::string minusOut;

    synth::HighSpeedParams hs;
    bool sof = false;
    CLI::App* hsCmd = app.add_subcommand("hs", "high-speed differential capture");
    hsCmd->add_option("-o,--out", out, kOutHelp)->required();
    hsCmd->add_option("--rate", hs.m_dSampleRate, "sample rate, samples/s");
    hsCmd->add_option("--swing", hs.m_dSwing, "J/K level, V");
    hsCmd->add_option("--transition", hs.m_dTransition, "10-90 % edge time, s");
    hsCmd->add_option("--drop-sync", hs.m_nSyncBitsDropped, "leading SYNC bits dropped");
    hsCmd->add_flag("--sof", sof, "40-bit start-of-frame EOP");
    hsCmd->add_option("--reversal-level", hs.m_dReversalLevel,
                      "voltage where rising edges reverse");
    hsCmd->add_option("--reversal-depth", hs.m_dReversalDepth,
                      "depth of the reversal, V (0: none)");
    AddTraffic(*hsCmd, hs.m_Traffic);

    synth::SingleEndedParams se;
    CLI::App* fsCmd = app.add_subcommand("fs", "full-speed D+/D- capture");
    CLI::App* lsCmd = app.add_subcommand("ls", "low-speed D+/D- capture");
    for (CLI::App* cmd : {fsCmd, lsCmd}) {
        cmd->add_option(
               "-o,--out", out,
               "capture file: time, D+, D- (or D+ alone with --minus); " + std::string(kOutHelp))
            ->required();
        cmd->add_option("--minus", minusOut, "second file for D-: writes two two-column files");
        cmd->add_option("--rate", se.m_dSampleRate, "sample rate, samples/s (0: reference rate)");
        cmd->add_option("--high", se.m_dHigh, "high level, V");
        cmd->add_option("--low", se.m_dLow, "low level, V");
        cmd->add_option("--rise", se.m_dRiseTime, "10-90 % rise time, s");
        cmd->add_option("--fall", se.m_dFallTime, "10-90 % fall time, s");
        cmd->add_option("--crossover", se.m_dCrossover, "D+/D- crossover voltage, V (0: halfway)");
        cmd->add_option("--lead-low", se.m_dLeadLowTime, "both lines low this long before idle, s");
        AddTraffic(*cmd, se.m_Traffic);
    }

    synth::InrushParams in;
    CLI::App* inCmd = app.add_subcommand("inrush", "supply current of a device attach");
    inCmd->add_option("-o,--out", out, kOutHelp)->required();
    inCmd->add_option("--rate", in.m_dSampleRate, "sample rate, samples/s");
    inCmd->add_option("--start", in.m_dStartTime, "time of the first sample, s");
    inCmd->add_option("--attach", in.m_dAttachTime, "attach time, s");
    inCmd->add_option("--after", in.m_dAfterTime, "capture after the attach, s");
    inCmd->add_option("--baseline", in.m_dBaseline, "current before the attach, A");
    inCmd->add_option("--peak", in.m_dPeak, "pulse peak above the steady draw, A");
    inCmd->add_option("--rise", in.m_dRiseTime, "ramp time to the peak, s");
    inCmd->add_option("--decay", in.m_dDecay, "decay time constant, s");
    inCmd->add_option("--steady", in.m_dSteady, "current after the pulse, A");
    inCmd->add_option("--noise", in.m_dNoiseRms, "noise rms, A");
    inCmd->add_option("--voltage", in.m_dVoltage, "supply voltage, V");
    inCmd->add_option("--seed", in.m_nSeed, "noise seed");

    CLI11_PARSE(app, argc, argv);
    try {
        const synth::FileFormat format = synth::FormatOfPath(out);
        if (hsCmd->parsed()) {
            if (sof) hs.m_Traffic.m_nEopBits = 40;
            Report(synth::WriteHighSpeedCapture(hs, out, format));
        } else if (inCmd->parsed()) {
            Report(synth::WriteInrushCapture(in, out, format));
        } else {
            se.m_Speed = fsCmd->parsed() ? synth::Speed::Full : synth::Speed::Low;
            Report(synth::WriteSingleEndedCapture(se, out, format, minusOut));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velkin-synth: %s\n", e.what());
        return 1;
    }
    return 0;
}
