#include "report/CTestSummary.h"

#include <algorithm>

#include "common/CAnalysisError.h"
#include "report/CCsvCell.h"
#include "report/CFormat.h"
#include "report/CSummaryFile.h"
#include "report/CSummaryValues.h"
#include "report/CUsbSigReport.h"

namespace {

// Display codes: the test tables 1 to 4, their downstream hub ports 5 to 7, and the
// eUSB2 repeaters 8 to 10.
constexpr int32_t kEusbOffset = 7;
constexpr int32_t kFirstEusbCode = 5;
constexpr int32_t kHubOffset = 4;
constexpr int32_t kHighestHubCode = 7;

// A batch collects one test type; an eUSB2 run of a plain device table keeps the
// device's code there, and only repeater tables move into the repeater codes.
int32_t BatchDisplayCode(const CSigSpec& spec, bool isEusb) {
    int32_t code = spec.m_nTestId;
    if (isEusb && spec.m_bHubTest != 0 && code < kFirstEusbCode) {
        code += kEusbOffset;
    } else if (spec.m_bHubTest != 0 && !isEusb) {
        code = std::min(code + kHubOffset, kHighestHubCode);
    }
    return code;
}

struct TestName {
    const char* m_strKeyword;
    const char* m_strBatchStem;
};

TestName NameOfCode(int32_t code) {
    switch (code) {
        case 1:
            return {"ls", "Low_Speed_Results"};
        case 2:
            return {"fs", "Full_Speed_Results"};
        case 3:
            return {"hsfe", "High_Speed_Results"};
        case 4:
            return {"hsne", "High_Speed_Results"};
        case 5:
            return {"lshub", "Low_Speed_Hub_Results"};
        case 6:
            return {"fshub", "Full_Speed_Hub_Results"};
        case 7:
            return {"hshub", "High_Speed_Hub_Results"};
        case 8:
            return {"elsrep", "eUSB_Low_Speed_Results"};
        case 9:
            return {"efsrep", "eUSB_Full_Speed_Results"};
        case 10:
            return {"ehsrep", "eUSB_High_Speed_Results"};
        default:
            return {"", ""};
    }
}

// Crossovers exist only where D+ and D- were captured: low and full speed and
// their hub ports.
bool HasCrossoverColumns(const CSigConfig& config, int32_t code) {
    return code == config.m_nLowSpeed || code == config.m_nFullSpeed ||
           code == config.m_nTestCodes[1] || code == config.m_nTestCodes[2];
}

// Hubs and repeaters may drop SYNC bits, up to four each.
bool HasHubColumns(const CSigConfig& config, int32_t code, bool isEusb) {
    return isEusb || code == config.m_nTestCodes[0] || code == config.m_nTestCodes[1] ||
           code == config.m_nTestCodes[2];
}

std::string SummaryLine(const CAnalysisRecord& record, const CToolboxRecord& toolbox,
                        const CSigConfig& config, const CSigSpec& spec, int32_t code, bool isEusb) {
    const CSummaryValues v =
        CSummaryValues::From(record.m_Measurements.at(0), record.m_Verdicts.at(0), toolbox, config,
                             spec, record.m_nHubs);
    std::string line = CCsvCell::NameField(OutputNamesOf(record.m_strFileA).m_strDataName);
    const auto add = [&line](const std::string& cell) {
        line += ',';
        line += CCsvCell::Field(cell);
    };
    add(NameOfCode(code).m_strKeyword);
    for (const std::string* cell :
         {&v.m_strOverall, &v.m_strEopWidth, &v.m_strSignalRate, &v.m_strRiseRate, &v.m_strRiseTime,
          &v.m_strFallRate, &v.m_strFallTime}) {
        add(*cell);
    }
    for (const std::string& cell : v.m_strJitter) add(cell);
    add(v.m_strMonotonic);
    for (const std::string& cell : v.m_strEyeValues) add(cell);
    if (HasCrossoverColumns(config, code)) {
        for (const std::string& cell : v.m_strCrossover) add(cell);
    }
    if (HasHubColumns(config, code, isEusb)) {
        add(v.m_strHubs);
        add(v.m_strSyncBits.empty() ? "0" : v.m_strSyncBits);
    }
    return line;
}

}  // namespace

std::string CTestSummary::HeaderLine(const CSigConfig& config, int32_t displayCode, bool isEusb) {
    std::string header =
        "File Name,TestType,Overall Result,EOP Width,Signal Rate,Rising Edge Rate,Rise Time,"
        "Falling Edge Rate,Fall Time,Max Consecutive Jitter,Min Consecutive Jitter,"
        "Mean Consecutive Jitter,Max JK Jitter,Min JK Jitter,RMS JK Jitter,Max KJ Jitter,"
        "Min KJ Jitter,RMS KJ Jitter,Monotonic Edge,Margin Above Eye,Margin Below Eye,"
        "Min Voltage,Margin Above Bottom,Max Voltage,Margin Below Top";
    if (HasCrossoverColumns(config, displayCode)) {
        header += ",Max Crossover Voltage,Min Crossover Voltage,Mean Crossover Voltage";
    }
    if (HasHubColumns(config, displayCode, isEusb)) header += ",Number of Hubs,Sync Bits Dropped";
    return header;
}

std::string CTestSummary::BatchFileName(const std::string& directory, const std::string& stem) {
    return CSummaryFile::BatchFileName(directory, stem);
}

void CTestSummary::WriteFileSummary(const CAnalysisRecord& record, const CToolboxRecord& toolbox,
                                    const CSigConfig& config, const CSigSpec& spec, bool isEusb,
                                    CPendingOutputs& outputs) const {
    const int32_t code = CUsbSigReport::DisplayCode(spec, isEusb);
    const std::string text = HeaderLine(config, code, isEusb) + "\n" +
                             SummaryLine(record, toolbox, config, spec, code, isEusb);

    outputs.Add(OutputNamesOf(record.m_strFileA).Path("_sum.csv"), text);
}

std::string CTestSummary::WriteBatchSummary(const CAnalysisRecord& record,
                                            const CToolboxRecord& toolbox, const CSigConfig& config,
                                            const CSigSpec& spec, bool newFile,
                                            const std::string& batchFile, bool isEusb,
                                            CPendingOutputs& outputs) const {
    const int32_t code = BatchDisplayCode(spec, isEusb);
    const std::string line = SummaryLine(record, toolbox, config, spec, code, isEusb) + "\n";

    return CSummaryFile::Append(record.m_strFileA, NameOfCode(code).m_strBatchStem, newFile,
                                batchFile, HeaderLine(config, code, isEusb) + "\n", line, outputs);
}
