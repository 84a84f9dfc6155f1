#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "synth/Synth.h"

namespace synth {

namespace {

// Keys carry their unit, so the sidecar reads without this header.
nlohmann::json SignalTruth(const SynthTruth& t) {
    nlohmann::json j;
    j["bit_rate_bps"] = t.m_dBitRate;
    j["unit_interval_s"] = t.m_dUnitInterval;
    j["rate_offset_ppm"] = t.m_dRatePpm;
    j["high_level_v"] = t.m_dHighLevel;
    j["low_level_v"] = t.m_dLowLevel;
    j["rise_time_10_90_s"] = t.m_dRiseTime;
    j["fall_time_10_90_s"] = t.m_dFallTime;
    j["eye_level_high_v"] = t.m_dEyeLevelHigh;
    j["eye_level_low_v"] = t.m_dEyeLevelLow;
    j["rise_rate_v_per_us"] = t.m_dRiseRate;
    j["fall_rate_v_per_us"] = t.m_dFallRate;
    j["edge_rate_match_percent"] = t.m_dEdgeRateMatch;
    if (t.m_strKind == "hs") {
        j["eop_level_v"] = t.m_dThreshold;
        j["sync_bits_dropped"] = t.m_nSyncBitsDropped;
        j["monotonic_depth_v"] = t.m_dMonotonicDepth;
    } else {
        j["crossover_v"] = t.m_dCrossover;
        j["idle_start_s"] = t.m_dIdleStart;
    }
    j["random_jitter_rms_s"] = t.m_dRandomJitterRms;
    j["periodic_jitter_amplitude_s"] = t.m_dPeriodicJitterAmplitude;
    j["periodic_jitter_frequency_hz"] = t.m_dPeriodicJitterFrequency;
    j["first_packet_jitter_peak_s"] = t.m_dJitterPeak;
    j["first_packet_jitter_rms_s"] = t.m_dJitterRms;
    j["first_packet_paired_jitter_peak_s"] = t.m_dPairedJitterPeak;
    j["eop_bits"] = t.m_nEopBits;
    j["eop_width_s"] = t.m_dEopWidth;
    j["eop_start_s"] = t.m_dEopStart;
    j["eop_end_s"] = t.m_dEopEnd;
    j["packet_count"] = t.m_nPackets;
    nlohmann::json packets = nlohmann::json::array();
    for (const PacketTruth& p : t.m_Packets) {
        packets.push_back({{"start_s", p.m_dStart},
                           {"end_s", p.m_dEnd},
                           {"eop_start_s", p.m_dEopStart},
                           {"eop_end_s", p.m_dEopEnd},
                           {"eop_start_at_level_s", p.m_dEopStartAtLevel},
                           {"eop_end_at_level_s", p.m_dEopEndAtLevel},
                           {"sync_bits", p.m_nSyncBits},
                           {"payload_bits", p.m_nPayloadBits},
                           {"stuffed_bits", p.m_nStuffedBits},
                           {"transitions", p.m_nTransitions},
                           {"payload_hex", p.m_strPayloadHex},
                           {"states", p.m_strStates}});
    }
    j["packets"] = std::move(packets);
    return j;
}

nlohmann::json InrushTruth(const SynthTruth& t) {
    return {{"supply_voltage_v", t.m_dVoltage},
            {"threshold_a", t.m_dThreshold},
            {"peak_current_a", t.m_dPeakCurrent},
            {"pulse_charge_c", t.m_dPulseCharge},
            {"charge_c", t.m_dCharge},
            {"charge_per_volt_f", t.m_dChargePerVolt},
            {"inrush_start_s", t.m_dInrushStart},
            {"inrush_end_s", t.m_dInrushEnd},
            {"capture_after_inrush_s", t.m_dAfterEvent}};
}

}  // namespace

void WriteTruth(const SynthTruth& truth, const std::string& path) {
    nlohmann::json j = truth.m_strKind == "inrush" ? InrushTruth(truth) : SignalTruth(truth);
    j["kind"] = truth.m_strKind;
    // The sidecar lies beside its capture: name the files, not where they were written.
    nlohmann::json files = nlohmann::json::array();
    for (const std::string& file : truth.m_Files)
        files.push_back(file.substr(file.find_last_of("/\\") + 1));
    j["files"] = std::move(files);
    j["seed"] = truth.m_nSeed;
    j["sample_rate_sps"] = truth.m_dSampleRate;
    j["samples"] = truth.m_nSamples;
    j["start_time_s"] = truth.m_dStartTime;
    j["noise_rms"] = truth.m_dNoiseRms;
    if (truth.m_dInt16Step > 0.0) {
        const bool amperes = truth.m_strKind == "inrush";
        j[amperes ? "int16_step_a" : "int16_step_v"] = truth.m_dInt16Step;
        j[amperes ? "int16_centre_a" : "int16_centre_v"] = truth.m_dInt16Centre;
    }
    std::ofstream out(path);
    out << j.dump(2) << '\n';
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace synth
