#include "CVerdictTally.h"

namespace {

// A reason that runs over lines ("No Packets Found\nVerify Test type") on one line.
std::string OneLine(const std::string& text) {
    std::string line;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        if (end > start) line.append(line.empty() ? "" : "; ").append(text, start, end - start);
        start = end + 1;
    }
    return line;
}

}  // namespace

std::string CVerdictTally::Add(const std::string& file, const CFileVerdict& verdict) {
    switch (verdict.m_eVerdict) {
        case EFileVerdict::kPass:
            ++m_nPassed;
            return "PASS " + file;
        case EFileVerdict::kWaived:
            ++m_nWaived;
            return "WAIVED " + file;
        case EFileVerdict::kFail:
            ++m_nFailed;
            // A record that names no failed check still fails the device.
            return "FAIL " + file + (verdict.m_strDetail.empty() ? "" : ": " + verdict.m_strDetail);
        case EFileVerdict::kError:
            break;
    }
    ++m_nErrors;
    return "ERROR " + file + ": " + OneLine(verdict.m_strDetail);
}

std::string CVerdictTally::CountLine() const {
    const auto n = [](int count) { return std::to_string(count); };
    return n(m_nPassed + m_nWaived + m_nFailed + m_nErrors) + " files: " + n(m_nPassed) +
           " passed, " + n(m_nWaived) + " waived, " + n(m_nFailed) + " failed, " + n(m_nErrors) +
           " errors, " + n(m_nSkipped) + " skipped";
}

int CVerdictTally::ExitStatus() const {
    if (m_nErrors > 0 || m_bNotRun) return kNotAnalysed;
    return m_nFailed > 0 ? kDeviceFailed : kAllPassed;
}
