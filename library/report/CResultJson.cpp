#include "report/CResultJson.h"

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "common/CAnalysisError.h"
#include "common/CPathNames.h"
#include "report/CToolboxGlobals.h"

namespace {

using nlohmann::ordered_json;

// Raised when the layout of the document changes in a way a reader must know.
constexpr int kFormatVersion = 1;

ordered_json Number(const std::optional<double>& value) {
    if (!value || !std::isfinite(*value)) return nullptr;
    return *value;
}

ordered_json Window(const std::optional<double>& min, const std::optional<double>& max) {
    if (!min && !max) return nullptr;
    return ordered_json{{"min", Number(min)}, {"max", Number(max)}};
}

ordered_json Check(const CCheckResult& check) {
    return ordered_json{{"name", check.m_strName},
                        {"value", Number(check.m_dValue)},
                        {"unit", check.m_strUnit},
                        {"limits", Window(check.m_dMin, check.m_dMax)},
                        {"waiver_limits", Window(check.m_dWaiverMin, check.m_dWaiverMax)},
                        {"margin", Number(check.Margin())},
                        {"margin_percent", Number(check.MarginPercent())},
                        {"verdict", VerdictWord(check.m_eVerdict)}};
}

}  // namespace

std::string CResultJson::Text(const CResultRecord& result) const {
    ordered_json inputs = ordered_json::array();
    for (const CResultInput& input : result.m_Inputs)
        inputs.push_back(
            {{"file", input.m_strFile}, {"role", input.m_strRole}, {"format", input.m_strFormat}});
    ordered_json checks = ordered_json::array();
    for (const CCheckResult& check : result.m_Checks) checks.push_back(Check(check));

    ordered_json document{
        {"format_version", kFormatVersion},
        {"tool", {{"name", "Velkin"}, {"version", VELKIN_VERSION}, {"test_version", kTestVersion}}},
        {"analysis", result.m_strAnalysis},
        {"inputs", inputs},
        {"sample_rate", Number(result.m_dSampleRate)},
        {"samples", result.m_nSamples}};
    if (result.m_strAnalysis == "signal") {
        document["test"] = {{"type", result.m_strTestType},
                            {"name", result.m_strTestName},
                            {"hubs", result.m_nHubs}};
        document["packet"] = result.m_nPacketIndex < 0
                                 ? ordered_json(nullptr)
                                 : ordered_json{{"index", result.m_nPacketIndex},
                                                {"start", Number(result.m_dPacketStart)},
                                                {"end", Number(result.m_dPacketEnd)}};
    } else {
        document["supply_voltage"] = Number(result.m_dSupplyVoltage);
    }
    document["checks"] = checks;
    document["overall"] = VerdictWord(result.m_eOverall);
    // Names and paths may hold bytes that are not UTF-8: they are replaced, never fatal.
    return document.dump(2, ' ', false, ordered_json::error_handler_t::replace) + "\n";
}

void CResultJson::Write(const CResultRecord& result, const std::string& dataFile,
                        CPendingOutputs& outputs) const {
    const std::string path = OutputNamesOf(dataFile).Path(".json");
    outputs.Add(path, Text(result),
                {"Failed to open result file",
                 ComposeMessage("Failed to write result file %s",
                                {std::filesystem::path(path).filename().string()})});
}
