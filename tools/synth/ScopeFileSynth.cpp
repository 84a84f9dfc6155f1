#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "scopefiles/CWriteKeysightBin.h"
#include "scopefiles/CWriteLecroyTrc.h"
#include "scopefiles/CWriteRandSbin.h"
#include "scopefiles/CWriteTekWfm.h"
#include "synth/Synth.h"

namespace synth {

namespace {

// An int16 record spans this much more than the capture itself, as a scope
// user leaves headroom above and below the signal; the step stays near
// 1/50 000 of the swing, far below any figure the analysis prints.
constexpr double kFullScaleOverSwing = 1.25;
constexpr double kInt16Codes = 65536.0;

bool IsInt16(FileFormat format) {
    return format == FileFormat::TekWfm || format == FileFormat::LecroyTrc;
}

}  // namespace

void WriteScopeFiles(const SampleSource& source, const std::vector<OutputFile>& files,
                     FileFormat format, SynthTruth& truth) {
    std::vector<std::vector<double>> channels(source.m_ChannelNames.size());
    for (std::vector<double>& channel : channels) channel.resize(source.m_nSamples);
    std::vector<double> values(channels.size());
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (std::size_t k = 0; k < source.m_nSamples; ++k) {
        source.m_Sample(k, values.data());
        for (std::size_t c = 0; c < channels.size(); ++c) {
            channels[c][k] = values[c];
            low = std::min(low, values[c]);
            high = std::max(high, values[c]);
        }
    }

    // Step and centre are float32 values, so the LeCroy gain and offset
    // (stored as float32) give back exactly the codes' volts.
    double step = 0.0;
    double centre = 0.0;
    if (IsInt16(format)) {
        const double swing = high > low ? high - low : 1.0;  // a flat record still needs a step
        step = static_cast<float>(kFullScaleOverSwing * swing / kInt16Codes);
        centre = static_cast<float>(0.5 * (high + low));
        truth.m_dInt16Step = step;
        truth.m_dInt16Centre = centre;
    }

    const double origin = source.m_dStartTime;
    const double interval = source.m_dSampleInterval;
    for (const OutputFile& file : files) {
        const std::vector<double>& first =
            channels.at(static_cast<std::size_t>(file.m_Channels.at(0)));
        static const std::vector<double> kNone;
        const std::vector<double>& second =
            file.m_Channels.size() > 1 ? channels.at(static_cast<std::size_t>(file.m_Channels[1]))
                                       : kNone;
        if (file.m_Channels.size() > 2 || (file.m_Channels.size() > 1 && IsInt16(format))) {
            throw std::invalid_argument(file.m_strPath +
                                        ": this format holds one trace; write D- to a second file");
        }
        switch (format) {
            case FileFormat::KeysightBin:
                CWriteKeysightBin().Write(file.m_strPath, origin, interval, first, second);
                break;
            case FileFormat::RandSbin:
                CWriteRandSbin().Write(file.m_strPath, origin, interval, first, second);
                break;
            case FileFormat::TekWfm:
                CWriteTekWfm().Write(file.m_strPath, origin, interval, first, step, centre);
                break;
            case FileFormat::LecroyTrc:
                CWriteLecroyTrc().Write(file.m_strPath, origin, interval, first, step, centre);
                break;
            case FileFormat::Csv:
            case FileFormat::Tsv:
                throw std::logic_error("text captures are written row by row");
        }
    }
}

}  // namespace synth
