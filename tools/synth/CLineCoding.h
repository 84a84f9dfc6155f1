#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace synth {

// Idle is 0 V on a high-speed trace; at full and low speed the bus idles in J.
enum class LineState : std::uint8_t { Idle, J, K, Se0 };

char StateLetter(LineState state);

// Where one packet lies on the bit grid of the capture.
struct PacketLayout {
    std::size_t m_nFirstBit = 0;  // first SYNC bit
    std::size_t m_nEopBit = 0;    // first EOP bit
    std::size_t m_nEndBit = 0;    // first bit back at idle
    int m_nSyncBits = 0;
    int m_nPayloadBits = 0;
    int m_nStuffedBits = 0;
    std::vector<std::uint8_t> m_Payload;
};

// Lays packets onto a bit grid as the line states a transmitter drives: SYNC,
// NRZI payload with bit stuffing, and the EOP of the speed.
class CLineCoding {
public:
    explicit CLineCoding(bool highSpeed) : m_bHighSpeed(highSpeed) {}

    void AppendIdle(std::size_t bits);
    // High speed: a 32-bit SYNC less `syncBitsDropped`, and an EOP of `eopBits` bits
    // that toggles once and then holds (a deliberate stuffing violation).
    // Full/low speed: an 8-bit SYNC and an SE0 of `eopBits` bits.
    const PacketLayout& AppendPacket(const std::vector<std::uint8_t>& payload, int syncBitsDropped,
                                     int eopBits);
    // Forgets the last packet and every bit after its start.
    void DropLastPacket();

    const std::vector<LineState>& States() const { return m_States; }
    const std::vector<PacketLayout>& Packets() const { return m_Packets; }
    std::string SyncPattern() const;

private:
    bool m_bHighSpeed;
    std::vector<LineState> m_States;
    std::vector<PacketLayout> m_Packets;
};

}  // namespace synth
