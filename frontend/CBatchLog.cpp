#include "CBatchLog.h"

#include <algorithm>
#include <cerrno>
#include <regex>

#include "OrvanePaths.h"

namespace {

// Batches started together in one second are few; past this many the folder is
// taken to be unwritable rather than crowded.
constexpr int kMaxSameSecondLogs = 1000;

}  // namespace

bool CBatchLog::Open(const std::string& path) {
    Close();
    m_strPath = path;
    m_File.reset(std::fopen(path.c_str(), "w"));
    return IsOpen();
}

bool CBatchLog::OpenTimeStamped(const std::string& folder, const std::string& word,
                                std::time_t when) {
    Close();
    std::tm local{};
    localtime_r(&when, &local);
    // The word as typed names the log, but a "/" in it would put the log in another
    // folder, or outside the capture folder altogether.
    std::string name = word;
    std::replace(name.begin(), name.end(), '/', '_');
    for (const int part : {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour,
                           local.tm_min, local.tm_sec}) {
        name.append("_").append(std::to_string(part));
    }
    const std::string stem = orvane::InFolder(folder, name);
    for (int copy = 1; copy <= kMaxSameSecondLogs; ++copy) {
        m_strPath = stem;
        if (copy > 1) m_strPath.append("-").append(std::to_string(copy));
        m_strPath.append(".log");
        // Exclusive creation: two processes racing for one name cannot both win it.
        m_File.reset(std::fopen(m_strPath.c_str(), "wx"));
        if (IsOpen()) return true;
        if (errno != EEXIST) return false;
    }
    return false;
}

bool CBatchLog::IsTimeStampedName(const std::string& name) {
    static const std::regex kName(R"(.+(_[0-9]{1,2}){2}_[0-9]{4,}(_[0-9]{1,2}){3}(-[0-9]+)?\.log)");
    return std::regex_match(name, kName);
}

void CBatchLog::Write(const std::string& text) {
    if (!IsOpen()) return;
    std::fputs(text.c_str(), m_File.get());
    std::fflush(m_File.get());
}

void CBatchLog::Close() { m_File.reset(); }
