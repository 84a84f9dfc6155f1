#pragma once

#include <string>
#include <string_view>

// Makes text from outside the analysis (file names and paths chosen by the user)
// safe to place in a report: a capture named "a<script>.csv" shows as its name
// and never becomes markup.
class CHtmlText {
public:
    // Text content or a quoted attribute value: & < > " ' become character references.
    static std::string Escape(std::string_view text);

    // A relative link to a file beside the report: every byte outside the URL's
    // unreserved set is percent-encoded, so blanks, "#", "%" and "?" in a name
    // still point at the file; the result needs no further escaping.
    static std::string LinkTarget(std::string_view fileName);
};
