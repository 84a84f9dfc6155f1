#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Distinct 64-bit keys, open addressing: the eye plot asks once per sample whether a pixel
// segment or a unit interval's path was drawn already, of a few hundred to a few million.
class CKeySet {
public:
    // True when the key was not in the set yet. All bits set is no key.
    bool Insert(uint64_t key) {
        if ((m_nCount + 1) * 2 > m_Keys.size()) Grow();
        const std::size_t mask = m_Keys.size() - 1;
        for (std::size_t i = Slot(key);; i = (i + 1) & mask) {
            if (m_Keys[i] == key) return false;
            if (m_Keys[i] == kEmpty) {
                m_Keys[i] = key;
                ++m_nCount;
                return true;
            }
        }
    }
    template <class F>
    void ForEach(F&& f) const {
        for (uint64_t key : m_Keys)
            if (key != kEmpty) f(key);
    }
    std::size_t Size() const { return m_nCount; }

private:
    static constexpr uint64_t kEmpty = ~uint64_t{0};

    std::size_t Slot(uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> m_nShift);
    }
    void Grow();

    std::vector<uint64_t> m_Keys;
    std::size_t m_nCount = 0;
    int m_nShift = 64;
};
