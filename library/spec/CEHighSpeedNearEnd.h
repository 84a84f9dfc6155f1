#pragma once

#include <memory>

#include "spec/CSigSpec.h"

// Limits of the eUSB2 high-speed repeater ("ehsrep") test type.
class CEHighSpeedNearEnd {
public:
    // A new record holding every value of the table; the caller owns it.
    std::unique_ptr<CSigSpec> Build() const;
};
