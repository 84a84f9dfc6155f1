#include "OrvanePaths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "COwnOutputs.h"

namespace orvane {

namespace {

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    if (sep == std::string::npos) return "";
    return sep == 0 ? path.substr(0, 1) : path.substr(0, sep);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

bool IsAbsolute(const std::string& path) {
    return !path.empty() && (path.front() == '/' || path.front() == '\\');
}

std::string CurrentFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? "." : folder.string();
}

std::string InFolder(const std::string& folder, const std::string& name) {
    if (IsAbsolute(name) || folder.empty()) return name;
    if (folder.back() == '/' || folder.back() == '\\') return folder + name;
    return folder + "/" + name;
}

std::string WithExtension(const std::string& path, const std::string& extension) {
    const std::size_t nameStart =
        LastSeparator(path) == std::string::npos ? 0 : LastSeparator(path) + 1;
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot < nameStart) return path + extension;
    return path.substr(0, dot) + extension;
}

std::string ReportPath(const std::string& dataFile) {
    return COwnOutputs::OutputPath(dataFile, COwnOutputs::kReport);
}

std::string WithoutQuotes(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '"'), text.end());
    return text;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

}  // namespace orvane
