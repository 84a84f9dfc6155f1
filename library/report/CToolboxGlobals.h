#pragma once

#include <string>

// Path parts that every output name is built from. Both "/" and "\" separate
// folders, so names written on a Windows scope read the same here.
std::string DirectoryOf(const std::string& path);
std::string FileNameOf(const std::string& path);
std::string BaseNameOf(const std::string& path);
