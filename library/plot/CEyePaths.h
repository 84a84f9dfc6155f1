#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "plot/CCanvas.h"
#include "plot/CKeySet.h"

// The unit intervals of a long packet lie on top of each other and draw the same few
// pixel paths again and again: each distinct interval path, and each segment, is kept once.
class CEyePaths {
public:
    // Eye samples further off the canvas than this are overflow marks, not signal;
    // within it each coordinate of a pixel fits 16 bits.
    static constexpr double kEyePixelLimit = 30000.0;

    // A path of at most `points` pixels starts at p.
    void Start(CPixel p, std::size_t points) {
        if (m_Path.size() < points) m_Path.resize(points);
        m_Path[0] = Pack(p);
        m_nLength = 1;
        m_nPrint = Mix(0x243F6A8885A308D3ull, m_Path[0]);
    }
    void LineTo(CPixel p) {
        const uint32_t packed = Pack(p);
        if (packed == m_Path[m_nLength - 1]) return;
        m_Path[m_nLength++] = packed;
        m_nPrint = Mix(m_nPrint, packed);
    }
    // An interval whose path was drawn already (known by a 64-bit fingerprint of its
    // pixels) is skipped whole; of the rest each new segment is kept.
    void End();
    std::vector<CPixelSegment> Segments() const;

private:
    static uint32_t Pack(CPixel p) {
        return static_cast<uint32_t>(static_cast<uint16_t>(p.x)) << 16 | static_cast<uint16_t>(p.y);
    }
    static uint64_t Mix(uint64_t print, uint32_t packed) {
        return (print ^ packed) * 0x100000001B3ull + (print >> 29);
    }

    std::vector<uint32_t> m_Path;
    std::size_t m_nLength = 0;
    uint64_t m_nPrint = 0;
    CKeySet m_Intervals;
    CKeySet m_Segments;
};
