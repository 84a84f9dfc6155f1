// Feedback of a run started from the dialog: message boxes, the progress label,
// the wait cursor and the desktop's opener for a finished report. Analyses run on
// a worker thread so the window keeps repainting; every call is carried over to
// the window's own thread, and a message box holds the worker until it is answered.
#pragma once

#include <string>

#include "COrvaneFeedback.h"

class QLabel;
class QWidget;

class CDialogFeedback : public COrvaneFeedback {
public:
    CDialogFeedback(QWidget& window, QLabel& progress) : m_Window(window), m_Progress(progress) {}

    void ShowMessage(const std::string& text) override;
    void ShowProgress(int index, int count, const std::string& file) override;
    void EndProgress() override;
    void OpenReport(const std::string& reportPath) override;
    void SetBusy(bool busy) override;

private:
    template <typename Call>
    void OnWindowThread(Call call);

    QWidget& m_Window;
    QLabel& m_Progress;
};
