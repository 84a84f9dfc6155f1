// A batch shared among worker processes, or among shards joined by merge, must leave
// what the same batch run one capture at a time leaves: the same lines on standard
// output, the same log lines, the same batch summary to the byte, the same status.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "CTempFolder.h"
#include "OrvaneProcess.h"
#include "synth/Synth.h"

namespace fs = std::filesystem;

namespace {

// `text` with `folder` written "{dir}".
std::string Unfolded(std::string text, const std::string& folder) {
    for (std::size_t at; (at = text.find(folder)) != std::string::npos;)
        text.replace(at, folder.size(), "{dir}");
    return text;
}

// What a batch left in `folder`: its status, its console lines, log and result
// records with the folder written "{dir}", its summary's bytes, and the names of the
// files there but the log's.
struct Outcome {
    int status;
    std::string console, log, summary;
    std::set<std::string> names;
    std::map<std::string, std::string> records;
    bool operator==(const Outcome&) const = default;
};

Outcome OutcomeIn(const fs::path& folder, const COrvanePrintout& run) {
    Outcome outcome{run.status, Unfolded(run.out, folder), "", "", {}, {}};
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename();
        if (entry.path().extension() == ".log") {
            outcome.log = Unfolded(Slurp(entry.path()), folder);
            continue;
        }
        outcome.names.insert(name);
        if (entry.path().extension() == ".json")
            outcome.records[name] = Unfolded(Slurp(entry.path()), folder);
    }
    outcome.summary = Slurp(folder / "High_Speed_Results_00.csv");
    return outcome;
}

// A high-speed batch: a capture that passes, one waived, one that fails, an unreadable
// one, and pass.tsv, refused because pass.csv claimed the report they would share;
// analysed, it would replace pass.csv's result record with its own.
void WriteBatch(const fs::path& folder) {
    fs::create_directories(folder);
    synth::HighSpeedParams hs;
    hs.m_Traffic.m_nPayloadBytes = 24;
    const auto write = [&](const char* name) {
        synth::WriteHighSpeedCapture(hs, (folder / name).string(), synth::FileFormat::Csv);
        fs::remove(folder / (std::string(name) + ".truth.json"));
    };
    write("pass.csv");
    write("zz.csv");
    hs.m_Traffic.m_dRatePpm = 525;
    write("waived.csv");
    hs.m_Traffic.m_dRatePpm = 0;
    hs.m_dSwing = 0.2;
    write("fail.csv");
    synth::WriteHighSpeedCapture(hs, (folder / "pass.tsv").string(), synth::FileFormat::Tsv);
    fs::remove(folder / "pass.tsv.truth.json");
    std::ofstream(folder / "torn.csv") << "Time,Ch1\n0,0\n1e-10,0\n2e-10,0\n3e-10,torn\n";
    // Its first line writes pass_sum.csv, which its wildcard then finds and skips.
    std::ofstream(folder / "run.cmd") << "usbsigcheck,pass.csv,hsne\nusbsigcheck,*.?sv,hsne\n";
}

const std::string kBatch = "-q -s usbsigcheck --test hsne *.?sv";

}  // namespace

TEST(ParallelBatch, WorkersAndMergedShardsLeaveWhatOneAtATimeLeaves) {
    const CTempFolder root;
    std::vector<Outcome> outcomes;
    for (const std::string& batch : {kBatch, std::string("run.cmd -s")}) {
        const struct {
            const char* name;
            std::vector<std::string> lines;  // run one after another; the last one's counts
        } ways[] = {
            {"serial", {"--jobs 1 " + batch}},
            {"workers", {"--jobs 2 " + batch}},
            {"shards",
             {"--shard 2/3 " + batch, "--jobs 2 --shard 1/3 " + batch, "--shard 3/3 " + batch,
              "merge ."}},
        };
        const std::size_t serial = outcomes.size();
        for (const auto& way : ways) {
            SCOPED_TRACE(batch + ", " + way.name);
            const fs::path folder = root.Path() / (way.name + std::to_string(serial));
            WriteBatch(folder);
            COrvanePrintout run;
            for (const std::string& line : way.lines) run = RunOrvane(folder, line);
            outcomes.push_back(OutcomeIn(folder, run));
            EXPECT_EQ(outcomes.back(), outcomes[serial])
                << outcomes.back().console << outcomes.back().log;
        }
    }
    // The batch itself is what the comparisons rest on: each verdict and the refusal.
    const Outcome& serial = outcomes.front();
    EXPECT_EQ(serial.status, 3);
    for (const char* line : {"FAIL fail.csv: ", "PASS pass.csv\n", "ERROR pass.tsv: ",
                             "ERROR torn.csv: ", "WAIVED waived.csv\n", "PASS zz.csv\n"})
        EXPECT_NE(serial.console.find(line), std::string::npos) << line << serial.console;
    EXPECT_NE(serial.log.find("**** Failed to analyze file: {dir}/torn.csv"), std::string::npos);
    EXPECT_EQ(std::count(serial.summary.begin(), serial.summary.end(), '\n'), 5);
    EXPECT_NE(outcomes.back().log.find("Skipped output file: {dir}/pass_sum.csv"),
              std::string::npos);
}

TEST(ParallelBatch, MergeRefusesShardsThatDoNotMakeOneBatchAndNamesTheFile) {
    const struct {
        const char* name;
        std::vector<int> shards;  // those run, of 3
        bool secondTwice;         // merge is given shard 2's record twice, else the folder
        const char* refusal;      // after the record's name
    } cases[] = {
        {"missing", {1, 3}, false, ".shard-2-of-3.rec: shard 2 of 3 of this batch is missing"},
        {"doubled", {1, 2, 3}, true, ".shard-2-of-3.rec: shard 2 of 3 is given twice"},
    };
    for (const auto& shards : cases) {
        SCOPED_TRACE(shards.name);
        const CTempFolder folder;
        WriteBatch(folder.Path());
        std::string records, second;
        for (const int shard : shards.shards) {
            RunOrvane(folder.Path(), "--shard " + std::to_string(shard) + "/3 " + kBatch);
            for (const auto& entry : fs::directory_iterator(folder.Path())) {
                const std::string name = entry.path().filename();
                if (!name.ends_with(std::to_string(shard) + "-of-3.rec")) continue;
                records += " " + name;
                if (shard == 2) second = " " + name;
            }
        }
        const COrvanePrintout run =
            RunOrvane(folder.Path(), "merge" + (shards.secondTwice ? records + second : " ."));
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(shards.refusal), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(fs::exists(folder.Path("High_Speed_Results_00.csv")));
    }
}
