#include "entry/CUsbInrushCheck.h"

#include <memory>

#include "common/CAnalysisError.h"
#include "common/CPendingOutputs.h"
#include "input/CInrushData.h"
#include "inrush/CMeasInrush.h"
#include "inrush/CTestInrush.h"
#include "plot/CPlot.h"
#include "report/CInrushReport.h"
#include "report/CInrushResults.h"
#include "report/CInrushSummary.h"
#include "report/CResultJson.h"
#include "report/CToolboxGlobals.h"
#include "spec/CInrushConfig.h"
#include "velkin.h"

void CUsbInrushCheck::Run(std::string dataFile, double voltage, unsigned mode) {
    if (dataFile.empty()) throw CAnalysisError("No data file specified");
    dataFile = AbsolutePath(dataFile);

    const std::unique_ptr<CInrushSpec> spec = CInrushConfig().BuildConfig();
    CInrushRecord record = CInrushData().Load(*spec, dataFile, voltage);
    record = CMeasInrush().MeasureInrush(std::move(record), *spec);
    record = CTestInrush().TestInrush(std::move(record), *spec);

    const CResultRecord result = CInrushResults().Build(record, *spec);
    CPendingOutputs outputs;
    CPlot().PlotCurrent(record, *spec, outputs);
    CInrushReport().WriteReport(record, *spec, outputs, result);
    CResultJson().Write(result, dataFile, outputs);

    std::string batchFile = SummaryFileName;
    if (mode == VELKIN_MODE_FILE_SUMMARY) {
        CInrushSummary().WriteFileSummary(record, outputs);
    } else if (mode == VELKIN_MODE_NEW_BATCH_SUMMARY) {
        batchFile = CInrushSummary().WriteBatchSummary(record, true, SummaryFileName, outputs);
    } else if (mode >= VELKIN_MODE_APPEND_BATCH_SUMMARY) {
        CInrushSummary().WriteBatchSummary(record, false, SummaryFileName, outputs);
    }
    outputs.Commit();
    // Taken over only once the new batch holds its header and first line.
    SummaryFileName = batchFile;
}
