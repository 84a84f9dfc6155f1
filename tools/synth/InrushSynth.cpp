#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "synth/CEdgeTrain.h"
#include "synth/Synth.h"

namespace synth {

namespace {

// An inrush event is followed for this long from its start; current after it
// is not part of the event's charge.
constexpr double kInrushWindow = 0.1;
constexpr std::uint64_t kCurrentNoiseStream = 5;

// Supply current: baseline, a linear ramp to the peak on attach, then an
// exponential decay to the steady draw.
struct InrushShape {
    double m_dAttach, m_dRise, m_dDecay, m_dBaseline, m_dSteady, m_dPeak;

    double Top() const { return m_dSteady + m_dPeak; }
    double At(double t) const {
        if (t < m_dAttach) return m_dBaseline;
        const double u = t - m_dAttach;
        if (u < m_dRise) return m_dBaseline + (Top() - m_dBaseline) * u / m_dRise;
        return m_dSteady + m_dPeak * std::exp(-(u - m_dRise) / m_dDecay);
    }
};

// The pulse alone, above whatever the supply already draws.
double PulseAt(const InrushShape& shape, double delay, double peak, double t) {
    const double u = t - shape.m_dAttach - delay;
    if (u < 0.0) return 0.0;
    if (u < shape.m_dRise) return peak * u / shape.m_dRise;
    return peak * std::exp(-(u - shape.m_dRise) / shape.m_dDecay);
}

}  // namespace

SampleSource MakeInrushSource(const InrushParams& params, SynthTruth& truth) {
    if (params.m_dSampleRate <= 0.0 || params.m_dRiseTime <= 0.0 || params.m_dDecay <= 0.0) {
        throw std::invalid_argument("sample rate, rise time and decay must be positive");
    }
    if (params.m_dBaseline >= params.m_dThreshold) {
        throw std::invalid_argument("the baseline current must lie below the inrush threshold");
    }
    const InrushShape shape{params.m_dAttachTime, params.m_dRiseTime, params.m_dDecay,
                            params.m_dBaseline,   params.m_dSteady,   params.m_dPeak};
    const double th = params.m_dThreshold;
    const double end = params.m_dAttachTime + params.m_dAfterTime;
    const std::size_t samples =
        static_cast<std::size_t>(std::floor((end - params.m_dStartTime) * params.m_dSampleRate)) +
        1;
    const double last =
        params.m_dStartTime + static_cast<double>(samples - 1) / params.m_dSampleRate;

    truth = SynthTruth{};
    truth.m_strKind = "inrush";
    truth.m_nSeed = params.m_nSeed;
    truth.m_dSampleRate = params.m_dSampleRate;
    truth.m_nSamples = samples;
    truth.m_dStartTime = params.m_dStartTime;
    truth.m_dNoiseRms = params.m_dNoiseRms;
    truth.m_dVoltage = params.m_dVoltage;
    truth.m_dThreshold = th;
    truth.m_dPeakCurrent = shape.Top();
    truth.m_dPulseCharge = (shape.m_dBaseline - shape.m_dSteady) * shape.m_dRise +
                           0.5 * (shape.Top() - shape.m_dBaseline) * shape.m_dRise +
                           shape.m_dPeak * shape.m_dDecay;

    // Charge above the threshold, in closed form: a triangle on the ramp, then the
    // decay above the threshold until it drops back or the window closes.
    if (shape.Top() > th) {
        const double top = shape.m_dAttach + shape.m_dRise;
        const double rise = shape.m_dAttach + shape.m_dRise * (th - shape.m_dBaseline) /
                                                  (shape.Top() - shape.m_dBaseline);
        double fall = std::numeric_limits<double>::infinity();
        if (shape.m_dSteady < th)
            fall = top + shape.m_dDecay * std::log(shape.m_dPeak / (th - shape.m_dSteady));
        const double stop = std::min({fall, rise + kInrushWindow, last});
        double charge = 0.0;
        if (stop >= top) {
            charge = 0.5 * (shape.Top() - th) * (top - rise);
            const double u = stop - top;
            charge += (shape.m_dSteady - th) * u +
                      shape.m_dPeak * shape.m_dDecay * (1.0 - std::exp(-u / shape.m_dDecay));
        } else {
            charge = 0.5 * (shape.At(stop) - th) * (stop - rise);
        }
        truth.m_dCharge = charge;
        truth.m_dInrushStart = rise;
        truth.m_dInrushEnd = stop;
        truth.m_dAfterEvent = last - rise;
    }
    truth.m_dChargePerVolt = params.m_dVoltage > 0.0 ? truth.m_dCharge / params.m_dVoltage : 0.0;

    SampleSource source;
    source.m_nSamples = samples;
    source.m_dStartTime = params.m_dStartTime;
    source.m_dSampleInterval = 1.0 / params.m_dSampleRate;
    source.m_ChannelNames = {"Amperes"};
    const double start = source.m_dStartTime;
    const double interval = source.m_dSampleInterval;
    const double noise = params.m_dNoiseRms;
    const std::uint64_t seed = params.m_nSeed;
    const double delay = params.m_dSecondDelay;
    const double secondPeak = params.m_dSecondPeak;
    source.m_Sample = [shape, start, interval, noise, seed, delay, secondPeak](std::size_t k,
                                                                               double* values) {
        const double t = start + static_cast<double>(k) * interval;
        values[0] = shape.At(t);
        if (delay > 0.0) values[0] += PulseAt(shape, delay, secondPeak, t);
        if (noise > 0.0) values[0] += noise * GaussianAt(seed, kCurrentNoiseStream, k);
    };
    return source;
}

SynthTruth WriteInrushCapture(const InrushParams& params, const std::string& path,
                              FileFormat format) {
    SynthTruth truth;
    const SampleSource source = MakeInrushSource(params, truth);
    truth.m_Files = {path};
    WriteSamples(source, {{path, {0}}}, format, truth.m_strKind, truth);
    WriteTruth(truth, TruthPath(path));
    return truth;
}

}  // namespace synth
