#pragma once

#include <string>
#include <string_view>
#include <vector>

// How a writer words the failure of one of its files, as its callers have always
// read it; left empty, "<system error>: <file name>".
struct COutputWords {
    std::string m_strOpenFailed;   // no temporary file could be made in the folder
    std::string m_strWriteFailed;  // writing it or putting it in place failed
};

// The files one run leaves beside its capture: report, plots and summaries. Each is
// written at once under a hidden name of this process and call in its own folder;
// only when the run has written every one are they all renamed onto their names.
// A run that stops half way (a full disk, a folder in the way) thus leaves the
// report, the plots and the summaries of the previous run as they were, and a
// reader never sees a report whose plots belong to another run or half a picture.
class CPendingOutputs {
public:
    CPendingOutputs() = default;
    // Removes every temporary file that was not committed.
    ~CPendingOutputs();
    CPendingOutputs(const CPendingOutputs&) = delete;
    CPendingOutputs& operator=(const CPendingOutputs&) = delete;

    // Writes `bytes` to a temporary beside `path`; throws CAnalysisError in `words`.
    // With `reserved` set, `path` is an empty file the caller has just created to
    // hold a new name; it is removed again if the run fails.
    void Add(const std::string& path, std::string_view bytes, const COutputWords& words = {},
             bool reserved = false);

    // Takes over the files `earlier` holds (written by another thread of the same run),
    // to be put in place before these.
    void AdoptFirst(CPendingOutputs&& earlier);

    // Puts every file in place. When one cannot be, those already moved get their
    // earlier contents back and CAnalysisError names the file that failed.
    void Commit();

private:
    struct COutput {
        std::string m_strPath;
        std::string m_strTemporary;
        std::string m_strBackup;  // the earlier file, linked aside during Commit
        COutputWords m_Words;
        bool m_bReserved = false;
        bool m_bNew = false;  // no file had the name before Commit
    };
    [[noreturn]] static void Fail(const COutput& output, int error, bool opening);
    // Gives the first `moved` outputs their earlier files back (a name that was free
    // is freed again) and lets go of the other copies.
    void RollBack(std::size_t moved);

    std::vector<COutput> m_Outputs;
};
