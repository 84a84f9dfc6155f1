#pragma once

#include <cstdio>
#include <string>

// The result records in `folder` that break their published schema, one line each
// with the reason; "" when every one holds to it. The synthesizer's truth files are
// no result records.
inline std::string ResultSchemaErrors(const std::string& folder) {
    const std::string command =
        "python3 -c 'import glob, json, sys, jsonschema\n"
        "v = jsonschema.Draft202012Validator(json.load(open(sys.argv[1])))\n"
        "for f in sorted(glob.glob(sys.argv[2] + \"/*.json\")):\n"
        "  if not f.endswith(\".truth.json\"):\n"
        "    for e in v.iter_errors(json.load(open(f))): print(f, e.message)' \"" VELKIN_SOURCE_DIR
        "/docs/result.schema.json\" \"" +
        folder + "\" 2>&1";
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
        if (pclose(pipe) != 0 && output.empty()) output = "validator failed";
    }
    return output;
}
