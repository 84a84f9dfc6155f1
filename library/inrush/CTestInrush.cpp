#include "inrush/CTestInrush.h"

#include <cmath>

#include "common/CVerdictCodes.h"

namespace {

int32_t Charge(const CVerdictCodes& codes, const CInrushRecord& r, const CInrushSpec& spec) {
    const double v = r.m_dVoltage;
    const double q = r.m_dCharge;
    if (v * spec.m_dCapAlt >= q || v * spec.m_dCapPass >= q) return codes.m_nPass;
    return v * spec.m_dCapWaiver >= q ? codes.m_nWaived : codes.m_nFail;
}

// Judged in whole milliseconds, rounded up: a capture that ends a fraction of a
// sample short of the window still covers it.
int32_t Window(const CVerdictCodes& codes, const CInrushRecord& r, const CInrushSpec& spec) {
    if (r.m_dAfterTime == 0.0) return codes.m_nPass;
    return spec.m_dWindow * 1000.0 > std::ceil(r.m_dAfterTime * 1000.0) ? codes.m_nFail
                                                                        : codes.m_nPass;
}

int32_t Supply(const CVerdictCodes& codes, const CInrushRecord& r, const CInrushSpec& spec) {
    const bool inside = spec.m_dSupplyMin <= r.m_dVoltage && r.m_dVoltage <= spec.m_dSupplyMax;
    return inside ? codes.m_nPass : codes.m_nFail;
}

}  // namespace

CInrushRecord CTestInrush::TestInrush(CInrushRecord record, const CInrushSpec& spec) const {
    const CVerdictCodes& codes = kVerdictCodes;
    record.m_nChargeVerdict = Charge(codes, record, spec);
    record.m_nWindowVerdict = Window(codes, record, spec);
    record.m_nSupplyVerdict = Supply(codes, record, spec);
    int32_t overall = record.m_nChargeVerdict;
    for (int32_t verdict : {record.m_nWindowVerdict, record.m_nSupplyVerdict})
        if (verdict == codes.m_nFail) overall = codes.m_nFail;
    record.m_nOverallVerdict = overall;
    return record;
}
