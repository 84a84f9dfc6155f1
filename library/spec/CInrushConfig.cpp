#include "spec/CInrushConfig.h"

std::unique_ptr<CInrushSpec> CInrushConfig::BuildConfig() const {
    auto config = std::make_unique<CInrushSpec>();
    CInrushSpec& c = *config;

    c.m_dSupplyMin = 4.4;
    c.m_dSupplyMax = 5.5;
    c.m_dWindow = 0.1;
    c.m_dCurrentThreshold = 0.1;
    c.m_dMinSampleRate = 1e6;
    c.m_ColourA = {204, 0, 204};
    c.m_ColourB = {0, 0, 204};
    c.m_ColourC = {204, 204, 0};
    // A device may present up to 10 µF at attach; 11 µC per volt passes, 30 µC per
    // volt is waived.
    c.m_dCapPass = 1.1e-5;
    c.m_dCapWaiver = 3e-5;
    c.m_dCapAlt = 0.0;
    c.m_strTitle = "Inrush pass/fail";
    return config;
}
