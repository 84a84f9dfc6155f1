#include "input/CEvenTimeCheck.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/CAnalysisError.h"

void CEvenTimeCheck::AddAny(double time, int64_t row) {
    if (!m_bStarted) {
        m_bStarted = true;
        m_dLast = time;
        return;
    }
    if (!(time > m_dLast))
        throw CAnalysisError(ComposeMessage(
            "Error: File %s row %d holds a time that is not later than the row before.",
            {m_strFile, std::to_string(row)}));
    const double step = time - m_dLast;
    m_dLast = time;
    if (m_dStep > 0.0) return Check(step, row);
    m_HeldSteps[m_nHeld] = step;
    m_HeldRows[m_nHeld] = row;
    if (++m_nHeld == kLearnSteps) Learn();
}

void CEvenTimeCheck::Finish() {
    if (m_dStep == 0.0 && m_nHeld > 0) Learn();
}

void CEvenTimeCheck::Learn() {
    double sorted[kLearnSteps] = {};
    std::copy_n(m_HeldSteps, m_nHeld, sorted);
    std::nth_element(sorted, sorted + m_nHeld / 2, sorted + m_nHeld);
    m_dStep = sorted[m_nHeld / 2];
    for (std::size_t i = 0; i < m_nHeld; ++i) Check(m_HeldSteps[i], m_HeldRows[i]);
}

void CEvenTimeCheck::Check(double step, int64_t row) const {
    if (std::abs(step - m_dStep) <= kStepTolerance * m_dStep) return;
    throw CAnalysisError(ComposeMessage("Error: File %s row %d breaks the even time step of %s s.",
                                        {m_strFile, std::to_string(row), StepText(m_dStep)}));
}

std::string CEvenTimeCheck::StepText(double step) {
    char text[32];
    const auto result =
        std::to_chars(text, text + sizeof text, step, std::chars_format::general, 6);
    return std::string(text, result.ptr);
}
