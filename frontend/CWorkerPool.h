// Worker processes that analyse the captures of a planned batch, each its own share in
// order, and hand every result back over a pipe as one message. The library keeps one
// analysis per process, so the workers are processes, forked before this one has any
// thread or window. A worker that dies leaves each capture it had not handed back with
// an error that says how it ended: no capture is lost or passed unseen.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "CCallResult.h"
#include "CLibraryCall.h"
#include "CScratchFolder.h"

class CWorkerPool {
public:
    // One worker for each non-empty share of `shares` (indices into `calls`).
    CWorkerPool(const std::vector<CLibraryCall>& calls,
                const std::vector<std::vector<std::size_t>>& shares);
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // The result of call `index`, waiting for its worker to hand it back.
    CCallResult Result(std::size_t index);
    // A private folder for an analysis this process makes itself.
    std::string PrivateFolder() const { return m_Scratch.Path("walk"); }

private:
    struct CWorker {
        pid_t m_Pid = -1;
        int m_nPipe = -1;
        std::string m_strUnread;  // a line not yet whole
        std::string m_strEnd;     // how the worker ended, once it has
    };
    // Reads what the worker has sent; false once it has ended.
    bool ReadFrom(CWorker& worker);
    void End(CWorker& worker);

    CScratchFolder m_Scratch;
    std::vector<CWorker> m_Workers;
    std::map<std::size_t, std::size_t> m_WorkerOf;
    std::map<std::size_t, CCallResult> m_Results;
};
