#pragma once

#include <memory>
#include <string>

#include "spec/CSigSpec.h"

// Turns a test-type keyword into the filled CSigSpec of its table.
class CSigTestSpec {
public:
    // Keywords, compared without regard to case, in this order: "fs", "hsfe",
    // "hsne", "ls", "hshub", "fshub", "lshub", "ehsrep", "elsrep", "efsrep";
    // the last six set m_bHubTest. Any other keyword throws CAnalysisError
    // "Unknown test type: <keyword>" (the keyword cut so the text stays within
    // 99 characters). The caller owns the record.
    std::unique_ptr<CSigSpec> SelectSpec(const std::string& testType) const;
};

// Hubs and repeaters each add to the EOP a receiver may see; applied by the run driver
// before any stage reads the record. With n = min(hubs, 5), and only when
// m_bHubTest is set and testType is "hshub" or "ehsrep" (any case):
// m_dEopBitsWaiverMax += 4n, m_EopWaiverMax[0] = m_dEopBitsWaiverMax / 4.8e8,
// m_dHubEopBitsMax += 4n - 4, m_dHubEopMax = m_dHubEopBitsMax / 4.8e8; for the
// start-of-frame EOP m_dSofEopBitsWaiverMax += 4n, m_EopWaiverMax[1] = that / 4.8e8,
// and m_EopHubMax holds the pass maximum of each EOP: m_dHubEopMax and
// (m_dSofEopBitsMax + 4n) / 4.8e8. Every other record is left untouched.
void AdjustForHubs(CSigSpec& spec, const std::string& testType, unsigned hubs);
