#pragma once

// Synthesized supply-current captures as the inrush stages see them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "CTempFolder.h"
#include "input/CInrushData.h"
#include "inrush/CMeasInrush.h"
#include "inrush/CTestInrush.h"
#include "report/CToolboxGlobals.h"
#include "spec/CInrushConfig.h"
#include "synth/Synth.h"

namespace inrush {

inline const CInrushSpec& Limits() {
    static const CInrushSpec spec = *CInrushConfig().BuildConfig();
    return spec;
}

inline const CToolboxRecord& Codes() {
    static const CToolboxRecord codes = CToolboxGlobals().GetGlobals();
    return codes;
}

// The pulse peak whose charge above the threshold is `charge`: the closed-form truth
// grows with the peak, so halving the interval finds it.
inline double PeakFor(double charge, synth::InrushParams p = {}) {
    double lo = 0.06;
    double hi = 100.0;
    for (int i = 0; i < 60; ++i) {
        p.m_dPeak = 0.5 * (lo + hi);
        synth::SynthTruth truth;
        synth::MakeInrushSource(p, truth);
        (truth.m_dCharge < charge ? lo : hi) = p.m_dPeak;
    }
    return 0.5 * (lo + hi);
}

struct Analysed {
    synth::SynthTruth m_Truth;
    CInrushRecord m_Record;
};

// Writes the capture, loads, measures and judges it, as the run driver will. The
// record moves through the stages: the verdicts hold the very buffers the capture
// was read into.
inline Analysed Analyse(const synth::InrushParams& p, const CTempFolder& folder,
                        const std::string& name = "inrush.csv") {
    const std::string path = folder.Path(name);
    Analysed out;
    out.m_Truth = synth::WriteInrushCapture(p, path, synth::FormatOfPath(path));
    CInrushRecord record = CInrushData().Load(Limits(), path, p.m_dVoltage);
    const double* const buffers[] = {record.m_Time.data(), record.m_Current.data()};
    record = CMeasInrush().MeasureInrush(std::move(record), Limits());
    out.m_Record = CTestInrush().TestInrush(std::move(record), Limits());
    EXPECT_EQ(out.m_Record.m_Time.data(), buffers[0]);
    EXPECT_EQ(out.m_Record.m_Current.data(), buffers[1]);
    return out;
}

}  // namespace inrush
