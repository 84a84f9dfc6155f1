#include "spec/CSigTestSpec.h"

#include <algorithm>
#include <cstddef>

#include "common/CAnalysisError.h"
#include "spec/CEHighSpeedNearEnd.h"
#include "spec/CFullSpeedFarEnd.h"
#include "spec/CHighSpeedFarEnd.h"
#include "spec/CHighSpeedNearEnd.h"
#include "spec/CLowSpeed.h"

namespace {

// ASCII comparison without regard to case; keywords are plain letters.
bool EqualsNoCase(const std::string& text, const char* keyword) {
    std::size_t i = 0;
    for (; i < text.size() && keyword[i] != '\0'; ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != keyword[i]) return false;
    }
    return i == text.size() && keyword[i] == '\0';
}

template <class Table>
std::unique_ptr<CSigSpec> BuildWith(int32_t hubTest) {
    std::unique_ptr<CSigSpec> spec = Table().Build();
    spec->m_bHubTest = hubTest;
    return spec;
}

}  // namespace

std::unique_ptr<CSigSpec> CSigTestSpec::SelectSpec(const std::string& testType) const {
    if (EqualsNoCase(testType, "fs")) return BuildWith<CFullSpeedFarEnd>(0);
    if (EqualsNoCase(testType, "hsfe")) return BuildWith<CHighSpeedFarEnd>(0);
    if (EqualsNoCase(testType, "hsne")) return BuildWith<CHighSpeedNearEnd>(0);
    if (EqualsNoCase(testType, "ls")) return BuildWith<CLowSpeed>(0);
    if (EqualsNoCase(testType, "hshub")) return BuildWith<CHighSpeedNearEnd>(1);
    if (EqualsNoCase(testType, "fshub")) return BuildWith<CFullSpeedFarEnd>(1);
    if (EqualsNoCase(testType, "lshub")) return BuildWith<CLowSpeed>(1);
    if (EqualsNoCase(testType, "ehsrep")) return BuildWith<CEHighSpeedNearEnd>(1);
    if (EqualsNoCase(testType, "elsrep")) return BuildWith<CLowSpeed>(1);
    if (EqualsNoCase(testType, "efsrep")) return BuildWith<CFullSpeedFarEnd>(1);
    throw CAnalysisError(ComposeMessage("Unknown test type: %s", {testType}, 0));
}

void AdjustForHubs(CSigSpec& spec, const std::string& testType, unsigned hubs) {
    const double n = static_cast<double>(std::min(hubs, 5u));
    if (spec.m_bHubTest == 0) return;
    if (!EqualsNoCase(testType, "hshub") && !EqualsNoCase(testType, "ehsrep")) return;
    spec.m_dEopBitsWaiverMax += kEopBitsPerHub * n;
    spec.m_EopWaiverMax.at(0) = spec.m_dEopBitsWaiverMax / kHighSpeedBitRate;
    spec.m_dHubEopBitsMax = spec.m_dHubEopBitsMax - kEopBitsPerHub + kEopBitsPerHub * n;
    spec.m_dHubEopMax = spec.m_dHubEopBitsMax / kHighSpeedBitRate;
    // Hubs repeat start-of-frame packets every microframe and stretch their 40-bit EOP
    // as much as an ordinary one: the same 4 bits per hub on both upper ends, so that
    // the run is still found as an EOP and is judged on the widened window.
    spec.m_dSofEopBitsWaiverMax += kEopBitsPerHub * n;
    spec.m_EopWaiverMax.at(1) = spec.m_dSofEopBitsWaiverMax / kHighSpeedBitRate;
    spec.m_EopHubMax.at(0) = spec.m_dHubEopMax;
    spec.m_EopHubMax.at(1) = (spec.m_dSofEopBitsMax + kEopBitsPerHub * n) / kHighSpeedBitRate;
}
