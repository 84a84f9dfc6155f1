#pragma once

#include <string>

#include "report/CResultRecord.h"
#include "report/CToolboxGlobals.h"

// The report's "Limits and margins" section: one row per check of the result
// record, with its limits, the value measured, the margin to the nearest limit and
// the verdict. Rows that failed stand out, so the reason for a failure is found at
// a glance.
class CLimitsTable {
public:
    std::string Html(const CResultRecord& result, const CToolboxRecord& toolbox) const;
};
