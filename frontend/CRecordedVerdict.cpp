#include "CRecordedVerdict.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

#include "COwnOutputs.h"
#include "OrvanePaths.h"

namespace {

using json = nlohmann::json;

const std::string* Text(const json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get_ptr<const std::string*>()
                                                       : nullptr;
}

// A check that failed its limit, or whose figure the capture did not give, fails the device.
bool FailsTheDevice(const std::string& verdict) {
    return verdict == "fail" || verdict == "not measured";
}

// The parser's message without its "[json.exception...] " tag.
std::string ParseReason(const json::exception& error) {
    const std::string text = error.what();
    const std::size_t tag = text.find("] ");
    return tag == std::string::npos ? text : text.substr(tag + 2);
}

CFileVerdict Judged(const json& record) {
    const std::string* overall = record.is_object() ? Text(record, "overall") : nullptr;
    const auto checks = record.is_object() ? record.find("checks") : record.end();
    if (overall == nullptr || (*overall != "pass" && *overall != "waived" && *overall != "fail"))
        return {EFileVerdict::kError, "no overall verdict of pass, waived or fail"};
    if (checks == record.end() || !checks->is_array()) return {EFileVerdict::kError, "no checks"};
    CFileVerdict verdict{*overall == "pass"     ? EFileVerdict::kPass
                         : *overall == "waived" ? EFileVerdict::kWaived
                                                : EFileVerdict::kFail,
                         ""};
    for (const json& check : *checks) {
        const std::string* name = check.is_object() ? Text(check, "name") : nullptr;
        const std::string* state = check.is_object() ? Text(check, "verdict") : nullptr;
        if (name == nullptr || state == nullptr)
            return {EFileVerdict::kError, "a check without a name or verdict"};
        if (!FailsTheDevice(*state)) continue;
        if (!verdict.m_strDetail.empty()) verdict.m_strDetail += ", ";
        verdict.m_strDetail += *name;
    }
    if (verdict.m_eVerdict != EFileVerdict::kFail) verdict.m_strDetail.clear();
    return verdict;
}

}  // namespace

CFileVerdict CRecordedVerdict::Read(const std::string& dataFile) {
    const std::string path = COwnOutputs::OutputPath(dataFile, COwnOutputs::kResultRecord);
    const std::string refusal = "Cannot read the result record " + orvane::FileNameOf(path) + ": ";
    std::ifstream in(path, std::ios::binary);
    if (!in) return {EFileVerdict::kError, refusal + std::strerror(errno)};
    CFileVerdict verdict;
    try {
        verdict = Judged(json::parse(in));
    } catch (const json::exception& error) {
        return {EFileVerdict::kError, refusal + ParseReason(error)};
    }
    if (verdict.m_eVerdict == EFileVerdict::kError)
        verdict.m_strDetail = refusal + verdict.m_strDetail;
    return verdict;
}
