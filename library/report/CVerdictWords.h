#pragma once

#include <cstdint>
#include <string>

#include "report/CToolboxGlobals.h"

// Words the verdict line of one report figure in the colour of its verdict, so that every
// figure colours a pass, a failure, a waiver and a figure not measured the same way.

// One line: what stands before the colour (an indent, a list mark, a count) and the words
// after it, which close the colour themselves.
struct CVerdictText {
    std::string m_strLead;
    std::string m_strWords;  // empty: the verdict says nothing
};

// What one figure says for each verdict code. A waived figure shows its failure words in
// the fail colour, then the grant of the waiver in the waiver colour between its lead and
// its end.
struct CVerdictWords {
    CVerdictText m_Pass{};
    CVerdictText m_Fail{};
    CVerdictText m_Waived{};
    CVerdictText m_NotTested{};
    CVerdictText m_NoData{};
    std::string m_strGrantLead = "    ";
    std::string m_strGrantEnd = "<br></font>\n";
};

// The line `words` has for `code`: a pass in the pass colour, every other verdict in the
// fail colour; a code without words gives an empty line.
std::string WordVerdict(int32_t code, const CToolboxRecord& toolbox, const CVerdictWords& words);

// A figure judged only as passing or not: any code short of a pass reads as a failure.
int32_t PassOrFail(int32_t code, const CToolboxRecord& toolbox);
