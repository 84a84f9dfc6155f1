#include "spec/CSigTestSpec.h"

std::unique_ptr<CSigSpec> CSigTestSpec::SelectSpec(const std::string&) const {
    return std::make_unique<CSigSpec>();
}
