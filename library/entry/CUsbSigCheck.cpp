#include "entry/CUsbSigCheck.h"

#include <algorithm>
#include <future>

#include "common/CAnalysisError.h"
#include "common/CCoreParts.h"
#include "common/CPendingOutputs.h"
#include "plot/CPlot.h"
#include "report/CResultJson.h"
#include "report/CSignalResults.h"
#include "report/CTestSummary.h"
#include "report/CToolboxGlobals.h"
#include "report/CUsbSigReport.h"
#include "signal/CAnalysisRecord.h"
#include "signal/CMeasurePackets.h"
#include "signal/CSignalData.h"
#include "signal/CTestPackets.h"
#include "spec/CSigTestSpec.h"
#include "spec/CSignalConfig.h"
#include "velkin.h"

namespace {

// More hubs than this add no further EOP allowance.
constexpr unsigned kMaxHubs = 5;

}  // namespace

void CUsbSigCheck::Run(std::string dataFile, std::string testType, std::string secondFile,
                       unsigned mode, unsigned hubs, bool isEusb) {
    dataFile = AbsolutePath(dataFile);
    secondFile = AbsolutePath(secondFile);

    const std::unique_ptr<CSigSpec> spec = CSigTestSpec().SelectSpec(testType);
    const std::unique_ptr<CSigConfig> config = CSignalConfig().BuildConfig();
    const unsigned hubCount = std::min(hubs, kMaxHubs);
    AdjustForHubs(*spec, testType, hubCount);

    CAnalysisRecord record = CSignalData().Load(dataFile, *config, *spec, secondFile);
    record.m_nHubs = hubCount;
    record = CMeasurePackets().Run(std::move(record), *config, *spec);
    record = CTestPackets().TestPackets(std::move(record), *config, *spec);
    if (record.m_Measurements.empty()) throw CAnalysisError("No Packets Found\nVerify Test type");

    const CResultRecord result = CSignalResults().Build(record, *spec, testType, isEusb);
    // The picture of the whole capture maps every sample: a long capture's is drawn on
    // a core of its own while the rest is written (a short one's after it: a batch of
    // short captures keeps the cores busy with one capture per worker), and it is put
    // in place first, as it always was.
    CPendingOutputs signalPlot;
    const bool ownCore =
        CCoreParts::PartsFor(record.m_Time.size(), CCoreParts::kSamplesPerPart) > 1;
    std::future<void> drawing =
        std::async(ownCore ? std::launch::async : std::launch::deferred,
                   [&] { CPlot().PlotSignal(record, *config, *spec, dataFile, signalPlot); });
    CPendingOutputs outputs;
    std::string batchFile = SummaryFileName;
    try {
        WriteOthers(record, result, *config, *spec, dataFile, mode, isEusb, batchFile, outputs);
    } catch (...) {
        // The plot's failure is reported first, as when it was drawn first.
        drawing.get();
        throw;
    }
    drawing.get();
    outputs.AdoptFirst(std::move(signalPlot));
    outputs.Commit();
    // Taken over only once the new batch holds its header and first line.
    SummaryFileName = batchFile;
}

void CUsbSigCheck::WriteOthers(const CAnalysisRecord& record, const CResultRecord& result,
                               const CSigConfig& config, const CSigSpec& spec,
                               const std::string& dataFile, unsigned mode, bool isEusb,
                               std::string& batchFile, CPendingOutputs& outputs) {
    CPlot().PlotEye(record, config, spec, dataFile, outputs);
    CPlot().PlotPacket(record, config, spec, dataFile, outputs);
    const CToolboxRecord toolbox = CToolboxGlobals().GetGlobals();
    CUsbSigReport().WriteReport(record, toolbox, spec, isEusb, outputs, result);
    CResultJson().Write(result, dataFile, outputs);

    if (mode == VELKIN_MODE_FILE_SUMMARY) {
        CTestSummary().WriteFileSummary(record, toolbox, config, spec, isEusb, outputs);
    } else if (mode == VELKIN_MODE_NEW_BATCH_SUMMARY) {
        batchFile = CTestSummary().WriteBatchSummary(record, toolbox, config, spec, true,
                                                     SummaryFileName, isEusb, outputs);
    } else if (mode >= VELKIN_MODE_APPEND_BATCH_SUMMARY) {
        CTestSummary().WriteBatchSummary(record, toolbox, config, spec, false, SummaryFileName,
                                         isEusb, outputs);
    }
}
