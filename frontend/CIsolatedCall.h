// One planned call of a batch made in this process, apart from the batch: a call that
// adds to the batch summary starts a summary of its own in a private folder instead
// (VELKIN_BATCH_DIR), whose header and line the batch takes when its turn comes. The
// verdict is read at once, before a later analysis of the same capture replaces it.
#pragma once

#include <string>

#include "CCallResult.h"
#include "CLibraryCall.h"

class CIsolatedCall {
public:
    // `privateFolder` is this process's own; it is removed again.
    static CCallResult Run(const CLibraryCall& call, const std::string& privateFolder);
};
