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

    // Share `which` (from 0) of `count`: the calls whose report's first call is every
    // count-th from the which-th, in order (every count-th call when no reports collide).
    std::vector<std::size_t> Share(unsigned which, unsigned count) const;
    // The calls whose report's first call, counted every `stride`-th from `offset`,
    // falls in this share, in groups: the calls of one report together, in order, the
    // groups in the order of their first calls.
    std::vector<std::vector<std::size_t>> Groups(unsigned stride = 1, unsigned offset = 0) const;
    // Names the batch: its command and its planned calls, as hexadecimal text.
    std::string Digest(const CBatchCommand& command) const;

    std::vector<CLibraryCall> m_Calls;
    CBatchFiles m_Files{true};
};
