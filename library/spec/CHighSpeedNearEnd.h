#pragma once

#include <memory>

#include "spec/CSigSpec.h"

// Limits of the high-speed near-end ("hsne", "hshub") test type.
class CHighSpeedNearEnd {
public:
    // A new record holding every value of the table; the caller owns it.
    std::unique_ptr<CSigSpec> Build() const;
};
