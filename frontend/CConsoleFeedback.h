// Feedback of a run without the dialog: messages on standard error, a progress
// line when standard error is a terminal, and the finished report opened by the
// desktop when there is one, or its path printed on standard output; the verdict
// of each file and the count of the run on standard output too.
#pragma once

#include <memory>
#include <string>

#include "COrvaneFeedback.h"

class QGuiApplication;

class CConsoleFeedback : public COrvaneFeedback {
public:
    CConsoleFeedback();
    ~CConsoleFeedback() override;

    void ShowMessage(const std::string& text) override;
    void ShowProgress(int index, int count, const std::string& file) override;
    void EndProgress() override;
    void OpenReport(const std::string& reportPath) override;
    // On standard output, where the report paths go.
    void ShowResult(const std::string& line) override;

private:
    void ClearProgress();

    bool m_bTerminal;
    bool m_bProgressShown = false;
    // Created only when a report is opened on a desktop: a command line run on a
    // machine without a display never touches the window system.
    std::unique_ptr<QGuiApplication> m_Application;
};
