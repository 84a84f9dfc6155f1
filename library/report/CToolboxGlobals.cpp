#include "report/CToolboxGlobals.h"

namespace {

std::size_t LastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace

std::string DirectoryOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    if (sep == std::string::npos) return "";
    return path.substr(0, sep);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string BaseNameOf(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    if (sep == std::string::npos) return path;
    const std::string name = path.substr(sep + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : name.substr(0, dot);
}
