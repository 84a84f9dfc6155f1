#include "common/CAnalysisError.h"

namespace {

std::string Fill(std::string_view pattern, const std::vector<std::string>& args) {
    std::string out;
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() &&
            (pattern[i + 1] == 's' || pattern[i + 1] == 'd')) {
            if (next < args.size()) out += args[next++];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace

std::string CutUtf8(const std::string& text, std::size_t bytes) {
    if (text.size() <= bytes) return text;
    std::size_t end = bytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return text.substr(0, end);
}

std::string ComposeMessage(std::string_view pattern, const std::vector<std::string>& args,
                           std::size_t shrinkIndex) {
    std::string text = Fill(pattern, args);
    if (text.size() <= kMaxMessageChars) return text;
    if (shrinkIndex < args.size()) {
        const std::size_t excess = text.size() - kMaxMessageChars;
        std::vector<std::string> shortened = args;
        const std::string& victim = args[shrinkIndex];
        shortened[shrinkIndex] =
            CutUtf8(victim, victim.size() > excess ? victim.size() - excess : 0);
        text = Fill(pattern, shortened);
    }
    return CutUtf8(text, kMaxMessageChars);
}

namespace {
std::size_t g_nCaptureSamples = 0;
}  // namespace

void NoteCaptureSamples(std::size_t count) { g_nCaptureSamples = count; }

std::size_t NotedCaptureSamples() { return g_nCaptureSamples; }

std::size_t CheckedIndex(double value, std::size_t limit, const char* refusal) {
    // 2^64 itself would round a limit near the top of the range up past it. Written
    // so that NaN fails.
    constexpr double kIndexEnd = 18446744073709551616.0;
    if (!(value >= 0.0 && value <= static_cast<double>(limit) && value < kIndexEnd)) {
        throw CAnalysisError(refusal);
    }
    return static_cast<std::size_t>(value);
}
