#pragma once

#include <memory>

#include "spec/CSigSpec.h"

// Limits of the full-speed ("fs", "fshub", "efsrep") test type.
class CFullSpeedFarEnd {
public:
    // A new record holding every value of the table; the caller owns it.
    std::unique_ptr<CSigSpec> Build() const;
};
