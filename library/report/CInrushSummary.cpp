#include "report/CInrushSummary.h"

#include "report/CCsvCell.h"
#include "report/CFormat.h"
#include "report/CSummaryFile.h"
#include "report/CToolboxGlobals.h"

namespace {

constexpr const char* kHeader = "File Name,Overall Result,VBus,Max Inrush\n";
constexpr const char* kBatchStem = "Inrush_Results";
constexpr double kMicro = 1e6;  // C to µC

// A capture too short or a supply out of its window fails the line as it fails the
// report.
std::string SummaryLine(const CInrushRecord& record) {
    const CToolboxRecord codes = CToolboxGlobals().GetGlobals();
    const int32_t overall = record.m_nOverallVerdict;
    const bool passed = overall == codes.m_nPass || overall == codes.m_nWaived;
    return CCsvCell::NameField(OutputNamesOf(record.m_strFile).m_strDataName) +
           (passed ? ",pass," : ",fail,") +
           CFormat::Printf("%.2f,%.4f", record.m_dVoltage, record.m_dCharge * kMicro);
}

}  // namespace

std::string CInrushSummary::BatchFileName(const std::string& directory) {
    return CSummaryFile::BatchFileName(directory, kBatchStem);
}

void CInrushSummary::WriteFileSummary(const CInrushRecord& record, CPendingOutputs& outputs) const {
    outputs.Add(OutputNamesOf(record.m_strFile).Path("_sum.csv"), kHeader + SummaryLine(record),
                {"Failed to open summary file", "Failed to open summary file"});
}

std::string CInrushSummary::WriteBatchSummary(const CInrushRecord& record, bool newFile,
                                              const std::string& batchFile,
                                              CPendingOutputs& outputs) const {
    return CSummaryFile::Append(record.m_strFile, kBatchStem, newFile, batchFile,
                                std::string(kHeader) + "\n", SummaryLine(record) + "\n", outputs);
}
