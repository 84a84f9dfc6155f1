// The batch summary, written by the front end in the batch's order from the header and
// line each capture's analysis made apart: the first capture that succeeds starts the
// next free "<stem>_NN.csv" in the folder the library would have used, each later one
// adds its line. Each version of the file is put in place whole, as the library does.
#pragma once

#include <string>

#include "CCallResult.h"
#include "CLibraryCall.h"

class CBatchSummaryWriter {
public:
    // Adds the line of `result` for `call`, starting the summary when the call's mode
    // says so. "" when done, else "<system error>: <file name>".
    std::string Add(const CLibraryCall& call, const CCallResult& result);

    // The last line of a summary's text: its capture's line. A name cell may hold a
    // line break inside its quotes.
    static std::string LastLine(const std::string& text);
    // The batch summary written last.
    const std::string& Path() const { return m_strPath; }

private:
    std::string m_strPath;
};
