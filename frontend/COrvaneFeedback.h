// Where the run operations tell the user something. The dialog answers with
// message boxes, a progress label, the wait cursor and the desktop's opener; the
// command line with standard error and standard output.
#pragma once

#include <string>

class COrvaneFeedback {
public:
    virtual ~COrvaneFeedback() = default;

    virtual void ShowMessage(const std::string& text) = 0;
    // File `index` (from 1) of `count` in a batch is about to be analysed.
    virtual void ShowProgress(int index, int count, const std::string& file) = 0;
    virtual void EndProgress() = 0;
    virtual void OpenReport(const std::string& reportPath) = 0;
    // One line of a command-line run's outcome (a file's verdict, the run's count),
    // for a person and for a script reading it. The dialog shows its report instead.
    virtual void ShowResult(const std::string& /*line*/) {}
    // The user-interface thread is blocked by an analysis.
    virtual void SetBusy(bool /*busy*/) {}
};
