#include "synth/CLineCoding.h"

#include <stdexcept>

namespace synth {

namespace {

// Ones in a row after which a transmitter inserts a zero.
constexpr int kStuffAfterOnes = 6;

LineState Toggled(LineState state) { return state == LineState::J ? LineState::K : LineState::J; }

}  // namespace

char StateLetter(LineState state) {
    switch (state) {
        case LineState::J:
            return 'J';
        case LineState::K:
            return 'K';
        case LineState::Se0:
            return 'E';
        case LineState::Idle:
            break;
    }
    return 'I';
}

std::string CLineCoding::SyncPattern() const {
    std::string pattern;
    const int pairs = m_bHighSpeed ? 15 : 3;
    for (int i = 0; i < pairs; ++i) pattern += "KJ";
    return pattern + "KK";
}

void CLineCoding::AppendIdle(std::size_t bits) {
    m_States.insert(m_States.end(), bits, m_bHighSpeed ? LineState::Idle : LineState::J);
}

const PacketLayout& CLineCoding::AppendPacket(const std::vector<std::uint8_t>& payload,
                                              int syncBitsDropped, int eopBits) {
    const std::string sync = SyncPattern();
    if (syncBitsDropped < 0 || syncBitsDropped >= static_cast<int>(sync.size()) - 1) {
        throw std::invalid_argument("dropped SYNC bits must leave at least two SYNC bits");
    }
    if (eopBits < 1) throw std::invalid_argument("the EOP needs at least one bit");

    PacketLayout layout;
    layout.m_nFirstBit = m_States.size();
    layout.m_Payload = payload;
    for (std::size_t i = static_cast<std::size_t>(syncBitsDropped); i < sync.size(); ++i) {
        m_States.push_back(sync[i] == 'K' ? LineState::K : LineState::J);
    }
    layout.m_nSyncBits = static_cast<int>(sync.size()) - syncBitsDropped;

    // The SYNC ends in a one (its closing KK), which counts towards stuffing.
    LineState state = LineState::K;
    int ones = 1;
    const std::size_t payloadStart = m_States.size();
    for (std::uint8_t byte : payload) {
        for (int bit = 0; bit < 8; ++bit) {  // least significant bit first
            if ((byte >> bit) & 1) {
                ++ones;
            } else {
                state = Toggled(state);
                ones = 0;
            }
            m_States.push_back(state);
            if (ones == kStuffAfterOnes) {
                state = Toggled(state);
                ones = 0;
                m_States.push_back(state);
                ++layout.m_nStuffedBits;
            }
        }
    }
    layout.m_nPayloadBits = static_cast<int>(m_States.size() - payloadStart);

    layout.m_nEopBit = m_States.size();
    if (m_bHighSpeed) {
        m_States.insert(m_States.end(), static_cast<std::size_t>(eopBits), Toggled(state));
    } else {
        m_States.insert(m_States.end(), static_cast<std::size_t>(eopBits), LineState::Se0);
    }
    layout.m_nEndBit = m_States.size();
    m_Packets.push_back(std::move(layout));
    return m_Packets.back();
}

void CLineCoding::DropLastPacket() {
    if (m_Packets.empty()) return;
    m_States.resize(m_Packets.back().m_nFirstBit);
    m_Packets.pop_back();
}

}  // namespace synth
