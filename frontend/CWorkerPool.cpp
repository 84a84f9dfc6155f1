#include "CWorkerPool.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
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

std::string HowItEnded(int status) {
    if (WIFSIGNALED(status))
        return "was killed by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    if (WIFEXITED(status)) return "ended with status " + std::to_string(WEXITSTATUS(status));
    return "ended";
}

}  // namespace

CWorkerPool::CWorkerPool(const std::vector<CLibraryCall>& calls,
                         const std::vector<std::vector<std::size_t>>& shares) {
    // What this process has buffered must not be written again by each worker.
    std::fflush(nullptr);
    for (const std::vector<std::size_t>& share : shares) {
        if (share.empty()) continue;
        int ends[2];
        if (::pipe(ends) != 0) throw std::runtime_error(std::string("pipe: ") + strerror(errno));
        const pid_t pid = ::fork();
        if (pid < 0) throw std::runtime_error(std::string("fork: ") + strerror(errno));
        if (pid == 0) {
            ::close(ends[0]);
            for (const CWorker& other : m_Workers) ::close(other.m_nPipe);
            const std::string folder = m_Scratch.Path("worker" + std::to_string(m_Workers.size()));
            try {
                CShareRunner::Run(calls, share, folder,
                                  [&](std::size_t index, const CCallResult& r) {
                                      Send(ends[1], Framed({{"index", index}, {"result", r}}));
                                  });
            } catch (const std::exception& error) {
                std::fprintf(stderr, "%s\n", error.what());
                _exit(1);
            }
            _exit(0);
        }
        ::close(ends[1]);
        for (const std::size_t index : share) m_WorkerOf[index] = m_Workers.size();
        m_Workers.push_back({pid, ends[0], "", ""});
    }
}

CWorkerPool::~CWorkerPool() {
    for (CWorker& worker : m_Workers) {
        // A worker still at work finishes its capture, so that no output is left half
        // written, and ends when it finds nobody reading.
        End(worker);
    }
}

void CWorkerPool::End(CWorker& worker) {
    if (worker.m_nPipe >= 0) ::close(worker.m_nPipe);
    worker.m_nPipe = -1;
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
        got = ::read(worker.m_nPipe, block, sizeof block);
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
        if (message.is_object() && message.contains("index") && message.contains("result"))
            m_Results[message["index"].get<std::size_t>()] = message["result"].get<CCallResult>();
    }
    return true;
}

CCallResult CWorkerPool::Result(std::size_t index) {
    const auto worker = m_WorkerOf.find(index);
    if (worker == m_WorkerOf.end()) {
        CCallResult result;
        result.m_bRefused = true;  // no worker has it: the walk makes the call itself
        return result;
    }
    CWorker& from = m_Workers[worker->second];
    while (!m_Results.contains(index) && from.m_nPipe >= 0 && ReadFrom(from)) {
    }
    if (const auto found = m_Results.find(index); found != m_Results.end()) return found->second;
    CCallResult lost;
    lost.m_strError = "The worker process analysing this capture " + from.m_strEnd +
                      " before it handed back the result";
    return lost;
}
