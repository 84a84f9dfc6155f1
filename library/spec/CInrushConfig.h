#pragma once

#include <memory>

#include "spec/CInrushSpec.h"

// Builds the inrush limits record.
class CInrushConfig {
public:
    // A new, fully filled record; the same contents on every call. The caller owns it.
    std::unique_ptr<CInrushSpec> BuildConfig() const;
};
