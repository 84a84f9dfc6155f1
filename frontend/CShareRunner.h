// Runs one share of a planned batch in order, as the walk over the batch would: a
// capture whose report another capture of the batch has already claimed is refused, not
// analysed. Every call whose outputs collide with another's is in the same share, so
// the refusals come out as the walk's and no two processes write one report.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "CCallResult.h"
#include "CLibraryCall.h"

class CShareRunner {
public:
    using Hand = std::function<void(std::size_t index, const CCallResult& result)>;
    // Each call of `share` (indices into `calls`), its result handed on as it comes.
    static void Run(const std::vector<CLibraryCall>& calls, const std::vector<std::size_t>& share,
                    const std::string& privateFolder, const Hand& hand);
};
