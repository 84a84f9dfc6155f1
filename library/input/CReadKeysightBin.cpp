#include "input/CReadKeysightBin.h"

#include "entry/CAnalysisError.h"
#include "report/CToolboxGlobals.h"

int32_t CReadKeysightBin::Read(const std::string& path, std::vector<double>&, std::vector<double>&,
                    std::vector<double>&) {
    throw CAnalysisError(
        ComposeMessage("File %s: this binary format is not yet supported", {FileNameOf(path)}));
}
