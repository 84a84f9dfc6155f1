#include "common/CPathNames.h"

#include <cstdlib>
#include <filesystem>

std::string FileNameOf(const std::string& path) {
    const std::size_t sep = path.find_last_of("/\\");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string AbsolutePath(const std::string& path) {
    if (path.empty()) return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

COutputNames OutputNamesOf(const std::string& dataFile) {
    const std::filesystem::path data(AbsolutePath(dataFile));
    COutputNames names;
    // Captures on a read-only share, or scattered over many folders, get their reports
    // gathered where the caller chose; the report links its plots by name, so they follow.
    const char* outputFolder = std::getenv("VELKIN_OUTPUT_DIR");
    names.m_strFolder = outputFolder != nullptr && *outputFolder != '\0'
                            ? AbsolutePath(outputFolder)
                            : data.parent_path().string();
    names.m_strDataName = data.filename().string();
    names.m_strStem = names.m_strDataName.substr(0, names.m_strDataName.rfind('.'));
    return names;
}

std::string COutputNames::Path(const std::string& suffix) const {
    return (std::filesystem::path(m_strFolder) / (m_strStem + suffix)).string();
}

std::string BatchSummaryFolderOf(const std::string& dataFile) {
    const char* batchFolder = std::getenv("VELKIN_BATCH_DIR");
    if (batchFolder != nullptr && *batchFolder != '\0') return AbsolutePath(batchFolder);
    return OutputNamesOf(dataFile).m_strFolder;
}
