#include "report/CCsvCell.h"

namespace {

std::string Enclosed(std::string_view text, std::string_view prefix = "") {
    std::string cell = "\"";
    cell.append(prefix);
    for (const char c : text) {
        if (c == '"') cell += '"';
        cell += c;
    }
    return cell + '"';
}

bool StartsFormula(std::string_view text) {
    return !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string::npos;
}

}  // namespace

std::string CCsvCell::Field(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
    return Enclosed(text);
}

std::string CCsvCell::NameField(std::string_view text) {
    if (!StartsFormula(text)) return Field(text);
    return Enclosed(text, "'");
}
