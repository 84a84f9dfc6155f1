#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace synth {

// Text captures, and the binary files of four scope makers: Keysight .bin,
// Tektronix .wfm, LeCroy .trc and Rohde & Schwarz .Wfm.bin (with its XML .bin).
enum class FileFormat { Csv, Tsv, KeysightBin, TekWfm, LecroyTrc, RandSbin };

// One sampled capture, produced on demand: sample k of every channel is computed
// when asked, so a capture of any length is written without holding it in memory,
// and a writer for another scope format can reuse the same generators.
struct SampleSource {
    std::size_t m_nSamples = 0;
    double m_dStartTime = 0.0;       // s
    double m_dSampleInterval = 0.0;  // s
    std::vector<std::string> m_ChannelNames;
    // Fills one value per channel for sample k; calls in increasing k are fastest.
    std::function<void(std::size_t k, double* values)> m_Sample;

    double Time(std::size_t k) const {
        return m_dStartTime + static_cast<double>(k) * m_dSampleInterval;
    }
};

// Edge timing errors applied to every bit boundary that carries a transition.
struct JitterParams {
    double m_dRandomRms = 0.0;          // s, Gaussian
    double m_dPeriodicAmplitude = 0.0;  // s, peak of the sinusoid
    double m_dPeriodicFrequency = 1e6;  // Hz
    double m_dPeriodicPhase = 0.0;      // rad
};

// Packet traffic shared by every speed.
struct TrafficParams {
    int m_nPackets = 2;       // 0: as many as fit into m_nSamples
    int m_nPayloadBytes = 8;  // random bytes per packet unless m_Payload is given
    std::vector<std::uint8_t> m_Payload;
    int m_nEopBits = 0;             // 0: the speed's ordinary EOP (8 high speed, 2 full/low speed)
    int m_nLeadIdleBits = 40;       // idle before the first packet
    int m_nGapIdleBits = 40;        // idle between packets and after the last one
    double m_dFirstBitPhase = 0.3;  // UI: where the bit grid starts after the capture start
    double m_dRatePpm = 0.0;
    JitterParams m_Jitter;
    double m_dNoiseRms = 0.0;    // V, added to every sample of every line
    std::size_t m_nSamples = 0;  // 0: just long enough for the packets
    double m_dStartTime = 0.0;   // s, time of sample 0
    std::uint64_t m_nSeed = 1;
};

// A high-speed differential capture: idle at 0 V, J at +swing, K at -swing.
struct HighSpeedParams {
    TrafficParams m_Traffic;
    double m_dSampleRate = 8e9;
    double m_dSwing = 0.4;           // V, level of a data state
    double m_dTransition = 400e-12;  // s, 10-90 % of a J/K edge
    int m_nSyncBitsDropped = 0;      // leading SYNC bits removed, as by hubs
    double m_dReversalLevel = 0.1;   // V, where rising J edges reverse (with a depth)
    double m_dReversalDepth = 0.0;   // V, 0: monotonic edges
    double m_dReversalStep = 0.0;    // s, each of the four reversal phases; 0: 1.25 samples
    double m_dThreshold = 0.15;      // V, level at which the EOP edges are timed
    double m_dEyeLevelHigh = 0.175;  // V, edge rates are timed between these
    double m_dEyeLevelLow = -0.175;
};

enum class Speed { Low, Full };

// A full- or low-speed D+/D- capture: idle J, SE0 end of packet.
struct SingleEndedParams {
    TrafficParams m_Traffic;
    Speed m_Speed = Speed::Full;
    double m_dSampleRate = 0.0;  // 0: the reference rate of the speed
    double m_dHigh = 3.3;        // V
    double m_dLow = 0.0;         // V
    double m_dRiseTime = 0.0;    // s, 10-90 %; 0: 10 ns full speed, 100 ns low speed
    double m_dFallTime = 0.0;
    double m_dCrossover = 0.0;     // V, where D+ and D- cross; 0: halfway
    double m_dLeadLowTime = 0.0;   // s, both lines low before the bus reaches idle
    double m_dEyeLevelHigh = 0.0;  // V, 0: 2.5 full speed, 2.8 low speed
    double m_dEyeLevelLow = 0.0;   // V, 0: 0.8 full speed, 0.4 low speed
};

// Supply current of a device being attached: a ramp to a peak, an exponential
// decay to a steady draw.
struct InrushParams {
    double m_dSampleRate = 1e6;
    double m_dStartTime = -1e-3;  // s
    double m_dAttachTime = 0.5e-3;
    double m_dAfterTime = 0.15;  // s of capture after the attach
    double m_dBaseline = 0.005;  // A before the attach
    double m_dPeak = 1.0;        // A above the steady draw at the top of the ramp
    double m_dRiseTime = 2e-6;   // s, linear ramp
    double m_dDecay = 50e-6;     // s, time constant
    double m_dSteady = 0.05;     // A after the pulse
    double m_dNoiseRms = 0.0;    // A
    double m_dVoltage = 5.0;     // V, supply the charge is judged at
    double m_dThreshold = 0.1;   // A, charge counts above this
    std::uint64_t m_nSeed = 1;
    // A second device attached this long after the first, drawing a pulse of the same
    // rise and decay with its own peak; none when the delay is 0. The truth's charge
    // and inrush times stay those of the first pulse alone.
    double m_dSecondDelay = 0.0;  // s
    double m_dSecondPeak = 0.0;   // A
};

struct PacketTruth {
    double m_dStart = 0.0;     // s, boundary of the first SYNC bit
    double m_dEnd = 0.0;       // s, boundary where the bus returns to idle
    double m_dEopStart = 0.0;  // s, boundary into the EOP
    double m_dEopEnd = 0.0;    // s, boundary out of the EOP
    // Where the EOP edges cross the level the bus is read at: ±threshold for a
    // high-speed trace, the crossover voltage on the lines of a full/low-speed pair.
    double m_dEopStartAtLevel = 0.0;
    double m_dEopEndAtLevel = 0.0;
    int m_nSyncBits = 0;
    int m_nPayloadBits = 0;  // after bit stuffing
    int m_nStuffedBits = 0;
    int m_nTransitions = 0;  // J/K changes, the one into the EOP included
    std::string m_strPayloadHex;
    std::string m_strStates;  // one letter per bit: J, K, E (SE0); idle not included
};

struct SynthTruth {
    std::string m_strKind;  // "hs", "fs", "ls", "inrush"
    std::vector<std::string> m_Files;
    std::uint64_t m_nSeed = 0;
    double m_dSampleRate = 0.0;
    std::size_t m_nSamples = 0;
    double m_dStartTime = 0.0;
    double m_dNoiseRms = 0.0;
    // int16 formats (.wfm, .trc): volts (amperes) per code and the level of code 0;
    // 0 and 0 for text and float32 formats.
    double m_dInt16Step = 0.0;
    double m_dInt16Centre = 0.0;

    double m_dBitRate = 0.0;
    double m_dUnitInterval = 0.0;
    double m_dRatePpm = 0.0;
    double m_dHighLevel = 0.0;
    double m_dLowLevel = 0.0;
    double m_dRiseTime = 0.0;  // 10-90 %
    double m_dFallTime = 0.0;
    double m_dEyeLevelHigh = 0.0;
    double m_dEyeLevelLow = 0.0;
    double m_dRiseRate = 0.0;  // V/us between the eye levels
    double m_dFallRate = 0.0;
    double m_dEdgeRateMatch = 0.0;  // percent
    double m_dCrossover = 0.0;      // V, full/low speed

    double m_dRandomJitterRms = 0.0;
    double m_dPeriodicJitterAmplitude = 0.0;
    double m_dPeriodicJitterFrequency = 0.0;
    // Injected edge offsets over the transitions of the first packet.
    double m_dJitterPeak = 0.0;  // largest |offset|
    double m_dJitterRms = 0.0;
    double m_dPairedJitterPeak = 0.0;  // largest |offset difference| of edges two apart

    int m_nEopBits = 0;
    double m_dEopWidth = 0.0;  // s, nominal
    double m_dEopStart = 0.0;  // s, first packet
    double m_dEopEnd = 0.0;
    int m_nSyncBitsDropped = 0;
    double m_dMonotonicDepth = 0.0;  // V, deepest edge reversal
    double m_dIdleStart = 0.0;       // s, idle-high line first reaches 1.5 V
    int m_nPackets = 0;
    std::vector<PacketTruth> m_Packets;

    double m_dVoltage = 0.0;
    double m_dThreshold = 0.0;  // V the high-speed EOP is timed at; A inrush counts above
    double m_dPeakCurrent = 0.0;
    double m_dPulseCharge = 0.0;    // C above the steady draw, from the attach on
    double m_dCharge = 0.0;         // C above the threshold
    double m_dChargePerVolt = 0.0;  // F
    double m_dInrushStart = 0.0;    // s, current rises through the threshold
    double m_dInrushEnd = 0.0;      // s, current falls back through it
    double m_dAfterEvent = 0.0;     // s of capture after the inrush start
};

}  // namespace synth
