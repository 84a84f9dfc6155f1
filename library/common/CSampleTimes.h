#pragma once

#include <compare>
#include <cstddef>
#include <iterator>

// The time axis of a uniformly sampled capture, held as its first time and step
// instead of one double per sample: ten million samples need no 80 MB of times
// that an instrument's sample clock already defines. Sample i sits at
// origin + (first + i) * step, the formula the scope's own header gives, so a
// stage reads the same time it would have read from a stored column. An axis
// refined k times (points between the scope's samples) puts point m of interval j
// at time(j) + m * fineStep, as straight-line interpolation of the column would.
class CSampleTimes {
public:
    class Iterator;

    CSampleTimes() = default;
    CSampleTimes(double origin, double step, std::size_t count)
        : m_dOrigin(origin), m_dStep(step), m_nCount(count) {}

    double operator[](std::size_t i) const {
        const std::size_t at = m_nOffset + i;
        if (m_nFactor == 1) return Coarse(at);
        return Coarse(at / m_nFactor) + static_cast<double>(at % m_nFactor) * m_dFineStep;
    }
    std::size_t size() const { return m_nCount; }
    bool empty() const { return m_nCount == 0; }
    double front() const { return (*this)[0]; }
    double back() const { return (*this)[m_nCount - 1]; }
    Iterator begin() const;
    Iterator end() const;

    // The axis without its first `count` samples: a capture trimmed to its first idle.
    void DropFront(std::size_t count);
    // Samples [first, first + count) of the axis: the stretch a plot shows.
    CSampleTimes Slice(std::size_t first, std::size_t count) const;
    // Each interval cut into `k` points `fineStep` apart; the last sample, with no
    // interval after it, is dropped.
    void Refine(std::size_t k, double fineStep);

private:
    double Coarse(std::size_t j) const { return m_dOrigin + static_cast<double>(j) * m_dStep; }

    double m_dOrigin = 0.0;
    double m_dStep = 0.0;
    std::size_t m_nCount = 0;
    std::size_t m_nOffset = 0;  // samples dropped from the front, in points of the axis
    std::size_t m_nFactor = 1;
    double m_dFineStep = 0.0;
};

// Walks the axis as a random-access range of times, for searches and loops written
// for a stored column.
class CSampleTimes::Iterator {
public:
    using iterator_category = std::random_access_iterator_tag;
    using value_type = double;
    using difference_type = std::ptrdiff_t;
    using pointer = const double*;
    using reference = double;

    Iterator() = default;
    Iterator(const CSampleTimes* axis, std::size_t index) : m_pAxis(axis), m_nIndex(index) {}

    double operator*() const { return (*m_pAxis)[m_nIndex]; }
    double operator[](difference_type n) const { return *(*this + n); }
    Iterator& operator++() {
        ++m_nIndex;
        return *this;
    }
    Iterator operator++(int) {
        Iterator before = *this;
        ++m_nIndex;
        return before;
    }
    Iterator& operator--() {
        --m_nIndex;
        return *this;
    }
    Iterator operator--(int) {
        Iterator before = *this;
        --m_nIndex;
        return before;
    }
    Iterator& operator+=(difference_type n) {
        m_nIndex = static_cast<std::size_t>(static_cast<difference_type>(m_nIndex) + n);
        return *this;
    }
    Iterator& operator-=(difference_type n) { return *this += -n; }
    friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
    friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
    friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iterator& a, const Iterator& b) {
        return static_cast<difference_type>(a.m_nIndex) - static_cast<difference_type>(b.m_nIndex);
    }
    friend bool operator==(const Iterator& a, const Iterator& b) {
        return a.m_nIndex == b.m_nIndex;
    }
    friend auto operator<=>(const Iterator& a, const Iterator& b) {
        return a.m_nIndex <=> b.m_nIndex;
    }

private:
    const CSampleTimes* m_pAxis = nullptr;
    std::size_t m_nIndex = 0;
};

inline CSampleTimes::Iterator CSampleTimes::begin() const { return {this, 0}; }
inline CSampleTimes::Iterator CSampleTimes::end() const { return {this, m_nCount}; }
