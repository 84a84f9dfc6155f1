#pragma once

#include <memory>

#include "spec/CSigSpec.h"

// Limits of the high-speed far-end ("hsfe") test type.
class CHighSpeedFarEnd {
public:
    // A new record holding every value of the table; the caller owns it.
    std::unique_ptr<CSigSpec> Build() const;
};
