#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <system_error>

// A fresh folder of its own under the system's temporary folder, removed with all
// it holds when the test ends. An analysis writes its report and plots beside its
// capture, so each test keeps its captures here, apart from every other test.
class CTempFolder {
public:
    explicit CTempFolder(const std::string& prefix = "velkin_test_") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make the folder " + pattern);
        m_Path = pattern;
    }
    ~CTempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_Path, ignored);
    }
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_Path; }
    std::string Path(const std::string& name) const { return (m_Path / name).string(); }

private:
    std::filesystem::path m_Path;
};

// A file as its bytes: a report, summary or log a run left, or a capture to damage.
inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
