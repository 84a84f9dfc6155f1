#include "signal/CPacket.h"

#include <cstddef>
#include <iterator>

namespace {

// A packet of five runs or fewer cannot hold a SYNC, a byte and an EOP.
constexpr std::ptrdiff_t kShortPacketSpan = 5;

}  // namespace

std::vector<CPacketEntry> CPacket::SplitPackets(std::vector<CSymbolRun> runs,
                                                const CSigConfig& config,
                                                std::vector<CSymbolRun>& idleRuns) const {
    idleRuns.clear();
    std::vector<CPacketEntry> packets;
    const auto runCount = static_cast<std::ptrdiff_t>(runs.size());
    if (runCount == 0) return packets;

    std::vector<std::ptrdiff_t> idle;
    for (std::ptrdiff_t r = 0; r < runCount; ++r)
        if (runs[static_cast<std::size_t>(r)].m_nSymbol == config.m_nSymI) idle.push_back(r);

    // A packet is what lies between two idle runs; the stretch before the first idle
    // or after the last one was cut off by the capture, and a capture that is never
    // idle is one cut-off packet.
    auto addPacket = [&](std::ptrdiff_t first, std::ptrdiff_t last, bool cutOff) {
        CPacketEntry packet;
        if (last >= first) {
            packet.m_Symbols.assign(std::make_move_iterator(runs.begin() + first),
                                    std::make_move_iterator(runs.begin() + last + 1));
        }
        packet.m_nInfo = static_cast<int32_t>(packet.m_Symbols.size());
        packet.m_nStatus = cutOff || last - first < kShortPacketSpan ? 1 : 0;
        packets.push_back(std::move(packet));
    };

    if (idle.empty()) {
        addPacket(0, runCount - 1, true);
        return packets;
    }
    packets.reserve(idle.size() + 1);
    if (idle.front() > 0) addPacket(0, idle.front() - 1, true);
    for (std::size_t k = 0; k + 1 < idle.size(); ++k)
        addPacket(idle[k] + 1, idle[k + 1] - 1, false);
    if (idle.back() < runCount - 1) addPacket(idle.back() + 1, runCount - 1, true);

    idleRuns.reserve(idle.size());
    for (const std::ptrdiff_t r : idle)
        idleRuns.push_back(std::move(runs[static_cast<std::size_t>(r)]));
    return packets;
}
