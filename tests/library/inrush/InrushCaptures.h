#pragma once

// Synthesized supply-current captures as the inrush stages see them.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "CTempFolder.h"
#include "FailureText.h"
#include "common/CAnalysisError.h"
#include "input/CInrushData.h"
#include "inrush/CMeasInrush.h"
#include "inrush/CTestInrush.h"
#include "report/CToolboxGlobals.h"
#include "spec/CInrushConfig.h"
#include "synth/Synth.h"

namespace inrush {

inline const CInrushSpec kLimits = *CInrushConfig().BuildConfig();
inline const CToolboxRecord kCodes = CToolboxGlobals().GetGlobals();

// Writes the capture, then loads, measures and judges it as the run driver will. The
// record moves through the stages: the verdicts hold the buffer the current was read into.
inline std::pair<synth::SynthTruth, CInrushRecord> Analyse(const synth::InrushParams& p,
                                                           const CTempFolder& folder,
                                                           const std::string& name = "inrush.csv") {
    const std::string path = folder.Path(name);
    const synth::SynthTruth truth = synth::WriteInrushCapture(p, path, synth::FormatOfPath(path));
    CInrushRecord r = CInrushData().Load(kLimits, path, p.m_dVoltage);
    const double* const current = r.m_Current.data();
    r = CTestInrush().TestInrush(CMeasInrush().MeasureInrush(std::move(r), kLimits), kLimits);
    EXPECT_EQ(r.m_Current.data(), current);
    return {truth, r};
}

}  // namespace inrush
