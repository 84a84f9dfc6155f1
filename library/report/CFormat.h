#pragma once

#include <string>

// Report lines are worded as C format patterns; this fills one into a string of
// whatever length the numbers and names need.
class CFormat {
public:
    static std::string Printf(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
};
