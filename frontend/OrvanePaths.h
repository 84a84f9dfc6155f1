// Path parts Orvane builds file names from. Both "/" and "\" separate folders,
// the names it shows; the report it opens is found by the rule Velkin names it by.
#pragma once

#include <string>

namespace orvane {

// The folder part of a path, without its trailing separator; empty when the path is a bare name.
std::string FolderOf(const std::string& path);

// The text after the last separator, or the whole path.
std::string FileNameOf(const std::string& path);

bool IsAbsolute(const std::string& path);

// The working folder, where bare file names on a command line are looked for.
std::string CurrentFolder();

// `name` joined to `folder` unless it is already absolute.
std::string InFolder(const std::string& folder, const std::string& name);

// The report Velkin writes for a data file: its extension (after the last dot of
// the name) replaced by ".html", so capture.wfm.bin gives capture.wfm.html. As in
// Velkin's output names, only "/" ends a folder: run1\cap.csv gives run1\cap.html.
std::string ReportPath(const std::string& dataFile);

// `path` with the extension of its name replaced by `extension` (".log"), or
// `extension` appended when the name has none.
std::string WithExtension(const std::string& path, const std::string& extension);

std::string WithoutQuotes(std::string text);

bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace orvane
