#include "CWorkerPool.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "CShareRunner.h"

namespace {

// Writes the whole line; a reader that has gone away ends the worker.
void Send(int pipe, const std::string& line) {
    for (std::size_t sent = 0; sent < line.size();) {
        const ssize_t written = ::write(pipe, line.data() + sent, line.size() - sent);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) _exit(1);
        sent += static_cast<std::size_t>(written);
    }
}

// A result as its length and its bytes: MessagePack keeps a file name that is not
// UTF-8 as it is, byte for byte.
std::string Framed(const nlohmann::json& message) {
    const std::vector<std::uint8_t> bytes = nlohmann::json::to_msgpack(message);
    const std::uint32_t size = static_cast<std::uint32_t>(bytes.size());
    std::string frame(reinterpret_cast<const char*>(&size), sizeof size);
    return frame.append(bytes.begin(), bytes.end());
}

// Reads one group number; false at the end of the requests.
bool NextGroup(int pipe, std::uint32_t& group) {
    char* at = reinterpret_cast<char*>(&group);
    for (std::size_t got = 0; got < sizeof group;) {
        const ssize_t read = ::read(pipe, at + got, sizeof group - got);
        if (read < 0 && errno == EINTR) continue;
        if (read <= 0) return false;
        got += static_cast<std::size_t>(read);
    }
    return true;
}

std::string HowItEnded(int status) {
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    if (WIFEXITED(status)) return "ended with status " + std::to_string(WEXITSTATUS(status));
    return "ended";
}

}  // namespace

CWorkerPool::CWorkerPool(const std::vector<CLibraryCall>& calls,
                         const std::vector<std::vector<std::size_t>>& groups, unsigned workers)
    : m_Groups(groups) {
    for (std::size_t group = 0; group < m_Groups.size(); ++group)
        for (const std::size_t index : m_Groups[group]) m_GroupOf[index] = group;
    // A worker that has died must not take this process with it when it is sent a group.
    m_PreviousPipeSignal = std::signal(SIGPIPE, SIG_IGN);
    // What this process has buffered must not be written again by each worker.
    std::fflush(nullptr);
    const std::size_t count = std::min<std::size_t>(std::max(workers, 1u), m_Groups.size());
    for (std::size_t n = 0; n < count; ++n) {
        int results[2], requests[2];
        if (::pipe(results) != 0 || ::pipe(requests) != 0)
            throw std::runtime_error(std::string("pipe: ") + strerror(errno));
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error(std::string("fork: ") + strerror(errno));
        if (pid == 0) {
            ::close(results[0]);
            ::close(requests[1]);
            for (const CWorker& other : m_Workers) {
                ::close(other.m_nResults);
                ::close(other.m_nRequests);
            }
            const std::string folder = m_Scratch.Path("worker" + std::to_string(n));
            try {
                for (std::uint32_t group = 0; NextGroup(requests[0], group);)
                    CShareRunner::Run(
                        calls, m_Groups.at(group), folder,
                        [&](std::size_t index, const CCallResult& r) {
                            Send(results[1], Framed({{"index", index}, {"result", r}}));
                        });
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s\n", error.what());
                _exit(1);
            }
            _exit(0);
        }
        ::close(results[1]);
        ::close(requests[0]);
        m_Workers.push_back({pid, results[0], requests[1], {}, 0, "", ""});
    }
    for (CWorker& worker : m_Workers) Feed(worker);
}

CWorkerPool::~CWorkerPool() {
    for (CWorker& worker : m_Workers) {
        // A worker still at work finishes its capture, so that no output is left half
        // written, and ends when it finds nobody reading.
        End(worker);
    }
    std::signal(SIGPIPE, m_PreviousPipeSignal);
}

void CWorkerPool::Feed(CWorker& worker) {
    while (worker.m_nRequests >= 0 && worker.m_Held.size() < kGroupsInHand) {
        if (m_nNextGroup == m_Groups.size()) {
            ::close(worker.m_nRequests);  // no more: the worker ends after its last group
            worker.m_nRequests = -1;
            return;
        }
        const auto group = static_cast<std::uint32_t>(m_nNextGroup);
        if (::write(worker.m_nRequests, &group, sizeof group) != sizeof group) return;
        m_WorkerOf[m_nNextGroup] = static_cast<std::size_t>(&worker - m_Workers.data());
        worker.m_Held.push_back(m_nNextGroup++);
    }
}

void CWorkerPool::End(CWorker& worker) {
    if (worker.m_nRequests >= 0) ::close(worker.m_nRequests);
    if (worker.m_nResults >= 0) ::close(worker.m_nResults);
    worker.m_nRequests = worker.m_nResults = -1;
    if (!worker.m_strEnd.empty()) return;
    int status = 0;
    while (::waitpid(worker.m_Pid, &status, 0) < 0 && errno == EINTR) {
    }
    worker.m_strEnd = HowItEnded(status);
}

bool CWorkerPool::ReadFrom(CWorker& worker) {
    char block[1 << 16];
    ssize_t got = 0;
    do {
        got = ::read(worker.m_nResults, block, sizeof block);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        End(worker);
        return false;
    }
    worker.m_strUnread.append(block, static_cast<std::size_t>(got));
    std::uint32_t size = 0;
    while (worker.m_strUnread.size() >= sizeof size) {
        std::memcpy(&size, worker.m_strUnread.data(), sizeof size);
        if (worker.m_strUnread.size() < sizeof size + size) break;
        // A message that cannot be read leaves its capture to the error below.
        const nlohmann::json message = nlohmann::json::from_msgpack(
            worker.m_strUnread.begin() + sizeof size,
            worker.m_strUnread.begin() + static_cast<std::ptrdiff_t>(sizeof size + size), true,
            false);
        worker.m_strUnread.erase(0, sizeof size + size);
        if (!message.is_object() || !message.contains("index") || !message.contains("result"))
            continue;
        m_Results[message["index"].get<std::size_t>()] = message["result"].get<CCallResult>();
        // A group is done with its last result: the worker gets the next.
        if (!worker.m_Held.empty() &&
            ++worker.m_nDoneInFirst == m_Groups[worker.m_Held.front()].size()) {
            worker.m_Held.pop_front();
            worker.m_nDoneInFirst = 0;
            Feed(worker);
        }
    }
    return true;
}

bool CWorkerPool::ReadAny() {
    std::vector<pollfd> open;
    std::vector<CWorker*> owners;
    for (CWorker& worker : m_Workers) {
        if (worker.m_nResults < 0) continue;
        open.push_back({worker.m_nResults, POLLIN, 0});
        owners.push_back(&worker);
    }
    if (open.empty()) return false;
    while (::poll(open.data(), open.size(), -1) < 0)
        if (errno != EINTR) return false;
    for (std::size_t k = 0; k < open.size(); ++k)
        if (open[k].revents != 0) ReadFrom(*owners[k]);
    return true;
}

CCallResult CWorkerPool::Result(std::size_t index) {
    const auto group = m_GroupOf.find(index);
    if (group == m_GroupOf.end()) {
        CCallResult result;
        result.m_bRefused = true;  // no worker has it: the walk makes the call itself
        return result;
    }
    while (!m_Results.contains(index)) {
        // A group not yet sent goes to a worker still alive once one is free; a group
        // sent to a worker that has ended will never come back.
        const auto sent = m_WorkerOf.find(group->second);
        if (sent != m_WorkerOf.end() && m_Workers[sent->second].m_nResults < 0) break;
        if (!ReadAny()) break;
    }
    if (const auto found = m_Results.find(index); found != m_Results.end()) return found->second;
    const auto sent = m_WorkerOf.find(group->second);
    CCallResult lost;
    lost.m_strError = sent == m_WorkerOf.end()
                          ? "No worker process was left to analyse this capture"
                          : "The worker process analysing this capture " +
                                m_Workers[sent->second].m_strEnd +
                                " before it handed back the result";
    return lost;
}
