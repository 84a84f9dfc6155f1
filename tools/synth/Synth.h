#pragma once

#include <string>
#include <vector>

#include "synth/SynthTypes.h"

// Synthesized USB captures with known truth. The same seed gives the same file.
namespace synth {

// Sources: the waveform as a function of the sample index, and its truth.
SampleSource MakeHighSpeedSource(const HighSpeedParams& params, SynthTruth& truth);
SampleSource MakeSingleEndedSource(const SingleEndedParams& params, SynthTruth& truth);
SampleSource MakeInrushSource(const InrushParams& params, SynthTruth& truth);

// Writers: the capture, and the truth beside it in "<path>.truth.json".
SynthTruth WriteHighSpeedCapture(const HighSpeedParams& params, const std::string& path,
                                 FileFormat format);
// One file of time, D+, D- when `minusPath` is empty; else D+ into `path`, D- into
// `minusPath`, two columns each.
SynthTruth WriteSingleEndedCapture(const SingleEndedParams& params, const std::string& path,
                                   FileFormat format, const std::string& minusPath = "");
SynthTruth WriteInrushCapture(const InrushParams& params, const std::string& path,
                              FileFormat format);

// One output file: which channels of the source it carries after the time column.
struct OutputFile {
    std::string m_strPath;
    std::vector<int> m_Channels;
};

// Streams the source once into every file; `kind` names the capture in the headers.
// Binary formats hold the whole record and are written through velkin_scopefiles;
// the int16 step and centre they chose go into `truth`.
void WriteSamples(const SampleSource& source, const std::vector<OutputFile>& files,
                  FileFormat format, const std::string& kind, SynthTruth& truth);

// Writes the capture in one of the binary scope formats. Each file holds one
// trace, or two where the format carries a pair (Keysight .bin, R&S .Wfm.bin).
void WriteScopeFiles(const SampleSource& source, const std::vector<OutputFile>& files,
                     FileFormat format, SynthTruth& truth);

std::string TruthPath(const std::string& capturePath);
void WriteTruth(const SynthTruth& truth, const std::string& path);
FileFormat FormatOfPath(const std::string& path);

}  // namespace synth
