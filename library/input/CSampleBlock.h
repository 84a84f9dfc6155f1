#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "input/CBinaryFile.h"

// Raw sample encodings that scopes store in their data blocks.
enum class ESampleType { Int8, UInt8, Int16, Int32, UInt32, UInt64, Float32, Float64 };

std::size_t SampleBytes(ESampleType type);

// Scopes store 9.9e37 for a sample taken off screen; no probe reads a voltage or a
// current anywhere near this, so a sample at or beyond it is that mark.
inline constexpr double kOffScreenMark = 1e30;

// Refuses a sample no analysis can use (not finite, or the off-screen mark), naming
// the file and where it sits: `unit` is "row" (a text line) or "sample" (from 1).
void CheckSample(double value, const std::string& file, const char* unit, int64_t position);

// Sizes `trace` for a record of `count` samples that is about to be written
// over (earlier contents are not kept), in huge pages when long.
void SizeForRecord(std::vector<double>& trace, std::size_t count);

// One trace within a block of sample steps: where its raw sample sits inside a
// step, and the vector that receives it in volts.
struct CSampleLane {
    std::size_t m_nByteOffset = 0;
    std::vector<double>* m_Trace = nullptr;
};

// Turns a block of raw samples into volts (raw * gain + shift). A record of
// ten million samples is read in cache-sized pieces and widened straight into
// the traces, so no copy of the block is held beside them; interleaved
// channels and per-sample time stamps are unpacked from the same pieces.
class CSampleBlock {
public:
    // `stride` is the size of one step in bytes; every lane gets `count` samples.
    void Read(CBinaryFile& file, std::uint64_t offset, std::size_t count, std::size_t stride,
              ESampleType type, double gain, double shift,
              const std::vector<CSampleLane>& lanes) const;

    // One trace of densely packed samples.
    void Read(CBinaryFile& file, std::uint64_t offset, std::size_t count, ESampleType type,
              double gain, double shift, std::vector<double>& trace) const {
        Read(file, offset, count, SampleBytes(type), type, gain, shift, {{0, &trace}});
    }
};
