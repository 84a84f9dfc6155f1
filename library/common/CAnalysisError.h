#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The one way a run stops early: the text is what the caller is shown, so it
// carries the exact wording of the message, line breaks included.
class CAnalysisError : public std::exception {
public:
    explicit CAnalysisError(std::string text) : m_strText(std::move(text)) {}
    const char* what() const noexcept override { return m_strText.c_str(); }
    const std::string& Text() const { return m_strText; }

private:
    std::string m_strText;
};

// Longest composed message: the caller's result channel is a 100-byte text.
inline constexpr std::size_t kMaxMessageChars = 99;

// `text` cut to at most `bytes`, backing off so that no UTF-8 character is split.
std::string CutUtf8(const std::string& text, std::size_t bytes);

// Fills each "%s" or "%d" of `pattern` with the next argument. When the text would
// pass kMaxMessageChars, the argument at `shrinkIndex` (a file name or keyword) is
// shortened, never the fixed words, and never inside a UTF-8 character.
std::string ComposeMessage(std::string_view pattern, const std::vector<std::string>& args,
                           std::size_t shrinkIndex = 0);

// The samples of the capture under analysis, as its reader sized them: the figure a
// failed allocation is reported with, far from where the capture was read. One
// analysis runs at a time; each call of an export starts again from 0.
void NoteCaptureSamples(std::size_t count);
std::size_t NotedCaptureSamples();

// A count or an index worked out from the capture's times or voltages (a width in
// bits, a number of grid points) as an index. A value that is not finite or lies
// outside 0 .. limit cannot come from a sound capture and has no integer to become,
// so the run stops with `refusal`, which says what in the capture is out of range.
std::size_t CheckedIndex(double value, std::size_t limit, const char* refusal);
