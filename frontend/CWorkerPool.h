// Worker processes that analyse the captures of a planned batch and hand every result
// back over a pipe as one message. The captures go out in groups (those whose outputs
// collide always in one group), a group at a time to whichever worker is free, so a
// worker held up by a long capture does not leave the other idle. The library keeps one
// analysis per process, so the workers are processes, forked before this one has any
// thread or window. A worker that dies leaves each capture it had not handed back with
// an error that says how it ended: no capture is lost or passed unseen.
#pragma once

#include <sys/types.h>

#include <csignal>
#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "CCallResult.h"
#include "CLibraryCall.h"
#include "CScratchFolder.h"

class CWorkerPool {
public:
    // Up to `workers` workers for the groups of `groups` (indices into `calls`, each
    // group in order, the groups in the order the batch reaches them).
    CWorkerPool(const std::vector<CLibraryCall>& calls,
                const std::vector<std::vector<std::size_t>>& groups, unsigned workers);
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // The result of call `index`, waiting for its worker to hand it back.
    CCallResult Result(std::size_t index);
    // A private folder for an analysis this process makes itself.
    std::string PrivateFolder() const { return m_Scratch.Path("walk"); }

private:
    // Groups a worker holds at once: the next is there as soon as one is done.
    static constexpr std::size_t kGroupsInHand = 2;

    struct CWorker {
        pid_t m_Pid = -1;
        int m_nResults = -1;             // results from the worker
        int m_nRequests = -1;            // group numbers to the worker
        std::deque<std::size_t> m_Held;  // groups sent and not yet done, in order
        std::size_t m_nDoneInFirst = 0;  // results of the first held group received
        std::string m_strUnread;         // a message not yet whole
        std::string m_strEnd;            // how the worker ended, once it has
    };
    // Sends the worker further groups while it holds fewer than kGroupsInHand; tells
    // it to end once none are left.
    void Feed(CWorker& worker);
    // Reads what the worker has sent; false once it has ended.
    bool ReadFrom(CWorker& worker);
    // Waits until some worker has sent something, and reads it.
    bool ReadAny();
    void End(CWorker& worker);

    std::vector<std::vector<std::size_t>> m_Groups;
    CScratchFolder m_Scratch;
    std::vector<CWorker> m_Workers;
    std::size_t m_nNextGroup = 0;
    std::map<std::size_t, std::size_t> m_GroupOf;   // call index, its group
    std::map<std::size_t, std::size_t> m_WorkerOf;  // group, the worker it was sent to
    std::map<std::size_t, CCallResult> m_Results;
    void (*m_PreviousPipeSignal)(int) = SIG_DFL;
};
