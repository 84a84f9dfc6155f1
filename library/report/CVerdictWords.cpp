#include "report/CVerdictWords.h"

namespace {

std::string Coloured(const CVerdictText& line, const std::string& font) {
    return line.m_strWords.empty() ? std::string() : line.m_strLead + font + line.m_strWords;
}

}  // namespace

std::string WordVerdict(int32_t code, const CToolboxRecord& toolbox, const CVerdictWords& words) {
    const std::string& fail = toolbox.m_strFailFont;
    if (code == toolbox.m_nPass) return Coloured(words.m_Pass, toolbox.m_strPassFont);
    if (code == toolbox.m_nFail) return Coloured(words.m_Fail, fail);
    if (code == toolbox.m_nNotTested) return Coloured(words.m_NotTested, fail);
    if (code == toolbox.m_nNoData) return Coloured(words.m_NoData, fail);
    if (code != toolbox.m_nWaived || words.m_Waived.m_strWords.empty()) return "";
    return Coloured(words.m_Waived, fail) + words.m_strGrantLead + toolbox.m_strWaiverFont +
           "*** waiver granted ***" + words.m_strGrantEnd;
}

int32_t PassOrFail(int32_t code, const CToolboxRecord& toolbox) {
    return code == toolbox.m_nPass ? toolbox.m_nPass : toolbox.m_nFail;
}
