#include "signal/CPacket.h"

#include <cstddef>
#include <iterator>

#include "common/CCoreParts.h"

namespace {

// A packet of five runs or fewer cannot hold a SYNC, a byte and an EOP.
constexpr std::ptrdiff_t kShortPacketSpan = 5;
// Below this many packets a second core costs more than it saves.
constexpr std::size_t kPacketsPerPart = 512;

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
    struct Span {
        std::ptrdiff_t m_nFirst, m_nLast;
        bool m_bCutOff;
    };
    std::vector<Span> spans;
    if (idle.empty()) {
        spans.push_back({0, runCount - 1, true});
    } else {
        if (idle.front() > 0) spans.push_back({0, idle.front() - 1, true});
        for (std::size_t k = 0; k + 1 < idle.size(); ++k)
            spans.push_back({idle[k] + 1, idle[k + 1] - 1, false});
        if (idle.back() < runCount - 1) spans.push_back({idle.back() + 1, runCount - 1, true});
    }
    // Each packet takes its runs on its own, so a capture of thousands of packets is
    // shared out over the cores.
    packets.resize(spans.size());
    CCoreParts::Run(spans.size(), CCoreParts::PartsFor(spans.size(), kPacketsPerPart),
                    [&](std::size_t, std::size_t from, std::size_t to) {
                        for (std::size_t k = from; k < to; ++k) {
                            const auto [first, last, cutOff] = spans[k];
                            CPacketEntry& packet = packets[k];
                            if (last >= first)
                                packet.m_Symbols.assign(
                                    std::make_move_iterator(runs.begin() + first),
                                    std::make_move_iterator(runs.begin() + last + 1));
                            packet.m_nInfo = static_cast<int32_t>(packet.m_Symbols.size());
                            packet.m_nStatus = cutOff || last - first < kShortPacketSpan ? 1 : 0;
                        }
                    });
    if (idle.empty()) return packets;

    idleRuns.reserve(idle.size());
    for (const std::ptrdiff_t r : idle)
        idleRuns.push_back(std::move(runs[static_cast<std::size_t>(r)]));
    return packets;
}
