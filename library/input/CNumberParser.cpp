#include "input/CNumberParser.h"

#include <fast_float/fast_float.h>

#include <system_error>

const char* ParseNumberInFull(const char* p, const char* end, double& value) {
    const auto result = fast_float::from_chars(p, end, value);
    return result.ec == std::errc() ? result.ptr : nullptr;
}
