#pragma once

#include <memory>

#include "spec/CSigSpec.h"

// Limits of the low-speed ("ls", "lshub", "elsrep") test type.
class CLowSpeed {
public:
    // A new record holding every value of the table; the caller owns it.
    std::unique_ptr<CSigSpec> Build() const;
};
