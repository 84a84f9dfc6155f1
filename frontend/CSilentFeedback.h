// Feedback that nobody sees: the walk that plans a batch, and the processes that
// analyse its captures, tell the user nothing; the walk that follows does.
#pragma once

#include "COrvaneFeedback.h"

class CSilentFeedback : public COrvaneFeedback {
public:
    void ShowMessage(const std::string& /*text*/) override {}
    void ShowProgress(int /*index*/, int /*count*/, const std::string& /*file*/) override {}
    void EndProgress() override {}
    void OpenReport(const std::string& /*reportPath*/) override {}
};
