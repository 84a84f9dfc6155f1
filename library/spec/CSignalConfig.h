#pragma once

#include <memory>

#include "spec/CSigConfig.h"

// Builds the signal configuration record.
class CSignalConfig {
public:
    // A new, fully filled record; the same contents on every call. The caller owns it.
    std::unique_ptr<CSigConfig> BuildConfig() const;
};
