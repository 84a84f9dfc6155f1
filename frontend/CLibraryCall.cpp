#include "CLibraryCall.h"

#include <nlohmann/json.hpp>
#include <tuple>

#include "velkin.h"

namespace {

// The library's result buffer is overwritten by the next call: copy it at once.
std::string Copied(const char* result) { return result ? std::string(result) : std::string(); }

// Report only, a summary of its own, or a line of the batch summary.
unsigned SummaryKind(unsigned mode) { return mode > VELKIN_MODE_NEW_BATCH_SUMMARY ? 2 : mode; }

}  // namespace

std::string CLibraryCall::Run() const {
    const char* data = m_strDataFile.c_str();
    switch (m_eExport) {
        case ELibraryExport::kUsbSigCheck:
            return Copied(UsbSigCheck(data, m_strTestWord.c_str(), m_strSecondFile.c_str(), m_nMode,
                                      m_nHubs));
        case ELibraryExport::kEUsbSigCheck:
            return Copied(eUsbSigCheck(data, m_strTestWord.c_str(), m_strSecondFile.c_str(),
                                       m_nMode, m_nHubs));
        case ELibraryExport::kUsbInrushCheck:
            break;
    }
    return Copied(UsbInrushCheck(data, m_dVolts, m_nMode));
}

bool CLibraryCall::WritesBatchSummary() const { return m_nMode >= VELKIN_MODE_NEW_BATCH_SUMMARY; }

bool CLibraryCall::SameAnalysis(const CLibraryCall& other) const {
    return std::tie(m_eExport, m_strDataFile, m_strTestWord, m_strSecondFile, m_dVolts, m_nHubs) ==
               std::tie(other.m_eExport, other.m_strDataFile, other.m_strTestWord,
                        other.m_strSecondFile, other.m_dVolts, other.m_nHubs) &&
           SummaryKind(m_nMode) == SummaryKind(other.m_nMode);
}

void to_json(nlohmann::json& json, const CLibraryCall& call) {
    json = {{"export", static_cast<int>(call.m_eExport)},
            {"data", call.m_strDataFile},
            {"test", call.m_strTestWord},
            {"second", call.m_strSecondFile},
            {"volts", call.m_dVolts},
            {"hubs", call.m_nHubs},
            {"mode", call.m_nMode}};
}

void from_json(const nlohmann::json& json, CLibraryCall& call) {
    call.m_eExport = static_cast<ELibraryExport>(json.at("export").get<int>());
    json.at("data").get_to(call.m_strDataFile);
    json.at("test").get_to(call.m_strTestWord);
    json.at("second").get_to(call.m_strSecondFile);
    json.at("volts").get_to(call.m_dVolts);
    json.at("hubs").get_to(call.m_nHubs);
    json.at("mode").get_to(call.m_nMode);
}
