#pragma once

#include <memory>

#include "spec/CSigConfig.h"

// Placeholder until the signal configuration lands.
class CSignalConfig {
public:
    std::unique_ptr<CSigConfig> BuildConfig() const;
};
