#include "CConsoleFeedback.h"

#include <unistd.h>

#include <QDesktopServices>
#include <QGuiApplication>
#include <QString>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

bool HasDisplay() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

std::string Absolute(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

}  // namespace

CConsoleFeedback::CConsoleFeedback() : m_bTerminal(isatty(STDERR_FILENO) != 0) {}

CConsoleFeedback::~CConsoleFeedback() = default;

void CConsoleFeedback::ClearProgress() {
    if (!m_bProgressShown) return;
    std::fputs("\r\033[K", stderr);
    m_bProgressShown = false;
}

void CConsoleFeedback::ShowMessage(const std::string& text) {
    ClearProgress();
    std::fputs(text.c_str(), stderr);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stderr);
}

void CConsoleFeedback::ShowProgress(int index, int count, const std::string& file) {
    if (!m_bTerminal) return;
    std::fprintf(stderr, "\r\033[K%d/%d %s", index, count, file.c_str());
    std::fflush(stderr);
    m_bProgressShown = true;
}

void CConsoleFeedback::EndProgress() { ClearProgress(); }

void CConsoleFeedback::ShowResult(const std::string& line) {
    ClearProgress();
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void CConsoleFeedback::OpenReport(const std::string& reportPath) {
    const std::string path = Absolute(reportPath);
    if (HasDisplay()) {
        if (!m_Application && QGuiApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "orvane";
            static char* argv[] = {name, nullptr};
            // A display that has gone away (a closed X forwarding) must not abort a
            // finished run: fall back to a platform without windows, which has no
            // opener, so the report's path is printed instead.
            if (!IsSet("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM",
                        IsSet("WAYLAND_DISPLAY") ? "wayland;xcb;minimal" : "xcb;minimal");
            }
            m_Application = std::make_unique<QGuiApplication>(argc, argv);
        }
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return;
    }
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
}
