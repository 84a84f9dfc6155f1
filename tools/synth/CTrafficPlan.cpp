#include "synth/CTrafficPlan.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "synth/CEdgeTrain.h"

namespace synth {

namespace {

// Ordinary EOP lengths: the high-speed stuffing violation, the two-bit SE0.
constexpr int kHighSpeedEopBits = 8;
constexpr int kSingleEndedEopBits = 2;

std::string Hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool IsDataState(LineState s) { return s == LineState::J || s == LineState::K; }

}  // namespace

CTrafficPlan::CTrafficPlan(const TrafficParams& traffic, bool highSpeed, double nominalBitRate,
                           double sampleRate, double gridStart, int syncBitsDropped)
    : m_Traffic(traffic), m_Coding(highSpeed) {
    m_dBitRate = nominalBitRate * (1.0 + traffic.m_dRatePpm * 1e-6);
    m_dUnitInterval = 1.0 / m_dBitRate;
    m_dGridStart = gridStart + traffic.m_dFirstBitPhase * m_dUnitInterval;
    m_nEopBits = traffic.m_nEopBits > 0 ? traffic.m_nEopBits
                                        : (highSpeed ? kHighSpeedEopBits : kSingleEndedEopBits);
    if (sampleRate <= 0.0) throw std::invalid_argument("the sample rate must be positive");
    if (traffic.m_nPackets < 0 || (traffic.m_nPackets == 0 && traffic.m_nSamples == 0)) {
        throw std::invalid_argument("give a packet count, or a sample count to fill");
    }

    // With a fixed length the grid must end inside the capture.
    std::size_t maxBits = 0;
    if (traffic.m_nSamples > 0) {
        const double end =
            traffic.m_dStartTime + static_cast<double>(traffic.m_nSamples - 1) / sampleRate;
        maxBits = static_cast<std::size_t>(
            std::max(0.0, std::floor((end - m_dGridStart) / m_dUnitInterval)));
    }
    m_Coding.AppendIdle(static_cast<std::size_t>(std::max(0, traffic.m_nLeadIdleBits)));
    for (int p = 0; traffic.m_nPackets == 0 || p < traffic.m_nPackets; ++p) {
        std::vector<std::uint8_t> payload = traffic.m_Payload;
        if (payload.empty()) {
            for (int b = 0; b < traffic.m_nPayloadBytes; ++b) {
                const std::uint64_t key =
                    (static_cast<std::uint64_t>(p) << 32) | static_cast<std::uint32_t>(b);
                payload.push_back(static_cast<std::uint8_t>(
                    Mix64(traffic.m_nSeed ^ Mix64(key + kPayloadStream))));
            }
        }
        m_Coding.AppendPacket(payload, syncBitsDropped, m_nEopBits);
        m_Coding.AppendIdle(static_cast<std::size_t>(std::max(0, traffic.m_nGapIdleBits)));
        if (maxBits > 0 && m_Coding.States().size() > maxBits) {
            m_Coding.DropLastPacket();
            break;
        }
    }
    if (maxBits > 0) {
        m_Coding.AppendIdle(maxBits + 1 - std::min(maxBits + 1, m_Coding.States().size()));
        m_nSamples = traffic.m_nSamples;
    } else {
        const double end = NominalBoundary(m_Coding.States().size());
        m_nSamples =
            static_cast<std::size_t>(std::floor((end - traffic.m_dStartTime) * sampleRate)) + 1;
    }
}

double CTrafficPlan::NominalBoundary(std::size_t bit) const {
    return m_dGridStart + static_cast<double>(bit) * m_dUnitInterval;
}

double CTrafficPlan::Boundary(std::size_t bit) const {
    const JitterParams& j = m_Traffic.m_Jitter;
    const double nominal = NominalBoundary(bit);
    double offset = 0.0;
    if (j.m_dRandomRms > 0.0)
        offset += j.m_dRandomRms * GaussianAt(m_Traffic.m_nSeed, kJitterStream, bit);
    if (j.m_dPeriodicAmplitude > 0.0) {
        offset += j.m_dPeriodicAmplitude *
                  std::sin(2.0 * std::numbers::pi * j.m_dPeriodicFrequency * nominal +
                           j.m_dPeriodicPhase);
    }
    return nominal + offset;
}

void CTrafficPlan::FillTruth(SynthTruth& truth) const {
    const std::vector<LineState>& states = m_Coding.States();
    truth.m_nSeed = m_Traffic.m_nSeed;
    truth.m_nSamples = m_nSamples;
    truth.m_dStartTime = m_Traffic.m_dStartTime;
    truth.m_dNoiseRms = m_Traffic.m_dNoiseRms;
    truth.m_dBitRate = m_dBitRate;
    truth.m_dUnitInterval = m_dUnitInterval;
    truth.m_dRatePpm = m_Traffic.m_dRatePpm;
    truth.m_dRandomJitterRms = m_Traffic.m_Jitter.m_dRandomRms;
    truth.m_dPeriodicJitterAmplitude = m_Traffic.m_Jitter.m_dPeriodicAmplitude;
    truth.m_dPeriodicJitterFrequency = m_Traffic.m_Jitter.m_dPeriodicFrequency;
    truth.m_nEopBits = m_nEopBits;
    truth.m_dEopWidth = m_nEopBits * m_dUnitInterval;
    truth.m_Packets.clear();

    for (const PacketLayout& layout : m_Coding.Packets()) {
        PacketTruth packet;
        packet.m_dStart = Boundary(layout.m_nFirstBit);
        packet.m_dEopStart = Boundary(layout.m_nEopBit);
        packet.m_dEopEnd = Boundary(layout.m_nEndBit);
        packet.m_dEnd = packet.m_dEopEnd;
        packet.m_dEopStartAtLevel = packet.m_dEopStart;
        packet.m_dEopEndAtLevel = packet.m_dEopEnd;
        packet.m_nSyncBits = layout.m_nSyncBits;
        packet.m_nPayloadBits = layout.m_nPayloadBits;
        packet.m_nStuffedBits = layout.m_nStuffedBits;
        packet.m_strPayloadHex = Hex(layout.m_Payload);
        for (std::size_t n = layout.m_nFirstBit; n < layout.m_nEndBit; ++n) {
            packet.m_strStates += StateLetter(states[n]);
        }
        std::vector<double> offsets;
        for (std::size_t n = layout.m_nFirstBit + 1; n <= layout.m_nEopBit; ++n) {
            if (IsDataState(states[n - 1]) && IsDataState(states[n]) &&
                states[n - 1] != states[n]) {
                offsets.push_back(Boundary(n) - NominalBoundary(n));
            }
        }
        packet.m_nTransitions = static_cast<int>(offsets.size());

        if (truth.m_Packets.empty() && !offsets.empty()) {
            double sumSquares = 0.0;
            for (std::size_t i = 0; i < offsets.size(); ++i) {
                truth.m_dJitterPeak = std::max(truth.m_dJitterPeak, std::abs(offsets[i]));
                sumSquares += offsets[i] * offsets[i];
                if (i >= 2) {
                    truth.m_dPairedJitterPeak =
                        std::max(truth.m_dPairedJitterPeak, std::abs(offsets[i] - offsets[i - 2]));
                }
            }
            truth.m_dJitterRms = std::sqrt(sumSquares / static_cast<double>(offsets.size()));
        }
        truth.m_Packets.push_back(std::move(packet));
    }
    truth.m_nPackets = static_cast<int>(truth.m_Packets.size());
    if (!truth.m_Packets.empty()) {
        truth.m_dEopStart = truth.m_Packets.front().m_dEopStart;
        truth.m_dEopEnd = truth.m_Packets.front().m_dEopEnd;
    }
}

}  // namespace synth
