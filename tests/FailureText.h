#pragma once

#include <functional>
#include <string>

#include "common/CAnalysisError.h"

// The text a step of the analysis stops with, or "" when it runs through: what the
// export would hand its caller.
inline std::string FailureText(const std::function<void()>& step) {
    try {
        step();
    } catch (const CAnalysisError& error) {
        return error.Text();
    }
    return "";
}
