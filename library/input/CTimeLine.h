#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/CSampleTimes.h"

// The time column of a text capture, taken as the scope's sample clock: every time
// must lie on the straight line from the first row to the last, within a small share
// of a step, so that the column can be held as its first time and step. Rounded time
// digits stay on the line; a column whose step drifts, however slowly, does not, and
// its capture is refused by the row that leaves the line instead of being retimed.
// Rows are judged in blocks: each block against the chord through its own ends, then
// the ends of every block against the line through the whole column, so no time
// needs to be kept beyond a block.
class CTimeLine {
public:
    explicit CTimeLine(std::string fileName) : m_strFile(std::move(fileName)) {}

    // The time of the next sample, read from `row` (a line number of the file).
    void Add(double time, int64_t row) {
        m_Block[m_nInBlock] = time;
        m_BlockRows[m_nInBlock] = row;
        if (++m_nInBlock == kBlockRows) CloseBlock();
    }
    std::size_t Count() const { return m_nCount + m_nInBlock; }
    double FirstTime() const;
    double LastTime() const;
    // The rows of `next`, which come right after these in the file; its row numbers
    // counted from `rowOffset` lines into the file.
    void Join(CTimeLine&& next, int64_t rowOffset);
    // The axis through the first and last time; throws when a row lies off it.
    CSampleTimes Finish();

private:
    static constexpr std::size_t kBlockRows = 4096;
    struct End {
        std::size_t m_nIndex;
        double m_dTime;
        int64_t m_nRow;
    };

    void CloseBlock();
    [[noreturn]] void Refuse(int64_t row, double step) const;

    std::string m_strFile;
    std::array<double, kBlockRows> m_Block{};
    std::array<int64_t, kBlockRows> m_BlockRows{};
    std::size_t m_nInBlock = 0;
    std::size_t m_nCount = 0;  // samples in closed blocks
    std::vector<End> m_Ends;   // first and last sample of each closed block
};
