// The calls a batch will make, known before any is made: the walk over the command line
// is run once with every analysis answered "not yet", so nothing is claimed and nothing
// refused, and each call it would make is noted in order. The files its wildcards
// matched are kept for the real walk. The calls can then be shared out among processes
// or machines, those whose reports collide always together.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "CBatchCommand.h"
#include "CBatchFiles.h"
#include "CLibraryCall.h"

class CBatchPlan {
public:
    static CBatchPlan Make(const CBatchCommand& command);

    // Share `which` (from 0) of `count`: the calls whose report's first call, counted
    // every `stride`-th from `offset`, falls in it; every count-th call from the which-th
    // when no reports collide. Indices into m_Calls, in order.
    std::vector<std::size_t> Share(unsigned which, unsigned count, unsigned stride = 1,
                                   unsigned offset = 0) const;
    // Names the batch: its command and its planned calls, as hexadecimal text.
    std::string Digest(const CBatchCommand& command) const;

    std::vector<CLibraryCall> m_Calls;
    CBatchFiles m_Files{true};
};
