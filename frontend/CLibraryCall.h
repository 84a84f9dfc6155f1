// One call of Velkin's exports as a record: which export, the capture, its test word
// or supply voltage, the D- file of a pair, the hub count and the summary mode. A batch
// can then be planned, its captures analysed in other processes, and each result handed
// back to the walk over the batch as if the call had been made there.
#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

enum class ELibraryExport { kUsbSigCheck, kEUsbSigCheck, kUsbInrushCheck };

struct CLibraryCall {
    ELibraryExport m_eExport = ELibraryExport::kUsbSigCheck;
    std::string m_strDataFile;
    std::string m_strTestWord;    // the signal and repeater tests
    std::string m_strSecondFile;  // the D- file of a pair taken into two files, or ""
    double m_dVolts = 0.0;        // the supply of an inrush test
    unsigned m_nHubs = 0;
    unsigned m_nMode = 0;  // VELKIN_MODE_...

    // The call made in this process: "" when the analysis ran to the end, else why not.
    std::string Run() const;
    bool WritesBatchSummary() const;
    // The same analysis of the same capture. Whether it starts the batch summary or adds
    // to it is left out: that depends on how the captures before it went.
    bool SameAnalysis(const CLibraryCall& other) const;
};

void to_json(nlohmann::json& json, const CLibraryCall& call);
void from_json(const nlohmann::json& json, CLibraryCall& call);
