#include "spec/CSignalConfig.h"

std::unique_ptr<CSigConfig> CSignalConfig::BuildConfig() const {
    return std::make_unique<CSigConfig>();
}
