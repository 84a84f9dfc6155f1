// The files a run leaves among the captures, known by name so that a batch never
// takes one of them for a capture: each capture's report, plots, result record and
// summary, named after its stem (its name up to the last full stop); the numbered
// batch summaries of each test; the batch logs; the records of a batch's shards.
#pragma once

#include <map>
#include <set>
#include <string>

class COwnOutputs {
public:
    // What Velkin writes after a capture's stem, beside the capture.
    static constexpr const char* kReport = ".html";
    static constexpr const char* kResultRecord = ".json";
    static constexpr const char* kWaveformPlot = "Plot.png";
    static constexpr const char* kEyePlot = "Eye.png";
    static constexpr const char* kPacketPlot = "Packet.png";
    static constexpr const char* kFileSummary = "_sum.csv";
    // The log of a command file, after the command file's stem.
    static constexpr const char* kCommandFileLog = ".log";

    // The output `suffix` of `dataFile`. As in Velkin's output names, only "/" ends a
    // folder: run1\cap.csv gives run1\cap.html; in the output folder when one is set.
    static std::string OutputPath(const std::string& dataFile, const std::string& suffix);
    // Where Velkin writes the outputs of a capture in `dataFolder`, and a batch its log:
    // the folder VELKIN_OUTPUT_DIR names when it is set and not empty, else `dataFolder`.
    static std::string FolderFor(const std::string& dataFolder);
    // The names of the numbered batch summaries in `folder`.
    static std::set<std::string> BatchSummariesIn(const std::string& folder);

    // True for the name of a shard's record of a batch ("batch_<digest>.shard-2-of-8.rec").
    static bool IsShardRecordName(const std::string& name);

    // True when `path` is named as an output of another file in its folder, as a
    // numbered batch summary, as a time-stamped batch log or as a shard record. A capture of any
    // other name ("results.csv", or "x_sum.csv" with no x beside it) is none.
    bool IsOwnOutput(const std::string& path);

private:
    // How many files of `folder` share each stem, listed once per folder and run.
    const std::map<std::string, int>& StemsIn(const std::string& folder);

    std::map<std::string, std::map<std::string, int>> m_StemsByFolder;
};
