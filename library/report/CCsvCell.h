#pragma once

#include <string>
#include <string_view>

// Cells of a summary line as a spreadsheet reads them back. A capture's file name
// is the only cell the user chooses: a comma or quote in it must not shift the
// figures into the wrong columns, and "=cmd.csv" must stay a name, not a formula.
class CCsvCell {
public:
    // The text as one field of a comma-separated line: enclosed in double quotes,
    // with its quotes doubled, when it holds a comma, a quote or a line break.
    static std::string Field(std::string_view text);

    // A name cell: as Field, except that a name a spreadsheet would evaluate (one
    // starting with "=", "+", "-", "@", a tab or a carriage return) is prefixed with
    // a single quote and enclosed in double quotes, so it shows as text.
    static std::string NameField(std::string_view text);
};
