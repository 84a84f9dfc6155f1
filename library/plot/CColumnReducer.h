#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "plot/CCanvas.h"

// Keeps the first, lowest, highest and last point of each pixel column of a trace, in
// sample order: a column shows no more, so ten million samples become a few thousand.
class CColumnReducer {
public:
    explicit CColumnReducer(std::vector<CPixel>& out) : m_Out(out) {}

    // Pixel positions before rounding: a sample joins the open column while it
    // rounds to it, and only the column's extremes are ever rounded.
    void Add(std::size_t index, double x, double y) {
        if (x >= m_dColumnLow && x < m_dColumnHigh) {
            if (y < m_Top.y) m_Top = {index, y};
            if (y > m_Bottom.y) m_Bottom = {index, y};
            m_Last = {index, y};
            return;
        }
        Flush();
        m_nColumn = ToPixel(x);
        m_dColumnLow = m_nColumn - 0.5;
        m_dColumnHigh = m_nColumn + 0.5;
        m_First = m_Top = m_Bottom = m_Last = {index, y};
    }

    // A sample already known to fall in the open column: only its height counts.
    void Join(std::size_t index, double y) {
        if (y < m_Top.y) m_Top = {index, y};
        if (y > m_Bottom.y) m_Bottom = {index, y};
        m_Last = {index, y};
    }
    // The samples ys[from, to), all in the open column, joined as one by one they would
    // be, their heights being yOrigin - yScale * value. A column of a long capture holds
    // thousands of samples: the highest and lowest values are ranged as a trace is, two
    // samples per instruction, then only the first sample at each of them is looked for.
    void JoinRun(std::span<const double> ys, std::size_t from, std::size_t to, double yOrigin,
                 double yScale);
    // The pixel position at which the open column ends.
    double ColumnHigh() const { return m_dColumnHigh; }

    void Flush();

private:
    struct CPoint {
        std::size_t index = 0;
        double y = 0.0;
    };
    void Emit(CPixel p);

    std::vector<CPixel>& m_Out;
    int m_nColumn = 0;
    double m_dColumnLow = 0.0, m_dColumnHigh = 0.0;  // empty until the first sample
    CPoint m_First, m_Top, m_Bottom, m_Last;
};
