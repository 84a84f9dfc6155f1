#pragma once

#include <string>
#include <vector>

#include "input/CInrushRecord.h"
#include "report/CToolboxGlobals.h"
#include "spec/CInrushSpec.h"

// Words the verdicts of one attach: the charge drawn at the supply voltage against
// its limit, whether the supply sat inside its window and the capture followed the
// event long enough, the charge of every inrush region, and the warnings that make a
// result unfit for certification. Charges are shown in µC.
class CInrushHtml {
public:
    // The overall line and its warnings, placed first under the heading.
    std::string OverallBlock(const CInrushRecord& record, const CInrushSpec& spec,
                             const CToolboxRecord& toolbox) const;

    // The charge, its verdict, the supply and window verdicts, and the regions.
    std::string ResultsBlock(const CInrushRecord& record, const CInrushSpec& spec,
                             const CToolboxRecord& toolbox) const;

    struct Prefix {
        double m_dFactor = 1.0;
        std::string m_strPrefix;
    };
    // The factor and SI prefix that bring the largest magnitude of `values` into
    // 1 to 1000, so region times near a millisecond read in ms.
    static Prefix EngineeringPrefix(const std::vector<double>& values);
};
