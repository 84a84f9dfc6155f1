#pragma once

#include <memory>
#include <string>

#include "spec/CSigSpec.h"

// Placeholder until the test-type tables land.
class CSigTestSpec {
public:
    std::unique_ptr<CSigSpec> SelectSpec(const std::string& testType) const;
};
