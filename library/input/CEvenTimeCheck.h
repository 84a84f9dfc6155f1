#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// The time column of a text capture, checked row by row as it is read: every time
// later than the one before, and every step within 1 % of the capture's median step.
// A scope exports a uniformly sampled record; a column that jumps or runs back would
// let every later stage size its work from a rate the capture does not have.
class CEvenTimeCheck {
public:
    explicit CEvenTimeCheck(std::string fileName) : m_strFile(std::move(fileName)) {}

    // The time of the sample read from `row` (a line number of the file).
    void Add(double time, int64_t row) {
        // The step of nearly every row of a sound capture, judged inline.
        const double step = time - m_dLast;
        if (m_dStep > 0.0 && m_bStarted && time > m_dLast &&
            std::abs(step - m_dStep) <= kStepTolerance * m_dStep) {
            m_dLast = time;
            return;
        }
        AddAny(time, row);
    }
    // Judges the steps still held when the capture had too few to learn its step from.
    void Finish();
    // True once the step is learnt; a copy then judges another stretch of the column.
    bool Learnt() const { return m_dStep > 0.0; }
    // The next time is the first of a stretch read apart from the rows before it.
    void Restart() { m_bStarted = false; }
    // A step as a refusal names it: six significant digits at most.
    static std::string StepText(double step);

private:
    // Exports round their time digits; a step further than this share from the median
    // is a gap, a repeated stretch or a sample out of place, not rounding.
    static constexpr double kStepTolerance = 0.01;

    void AddAny(double time, int64_t row);
    static constexpr std::size_t kLearnSteps = 15;

    void Learn();
    void Check(double step, int64_t row) const;

    std::string m_strFile;
    bool m_bStarted = false;
    double m_dLast = 0.0;
    double m_dStep = 0.0;  // the median step, once learnt
    std::size_t m_nHeld = 0;
    double m_HeldSteps[kLearnSteps] = {};
    int64_t m_HeldRows[kLearnSteps] = {};
};
