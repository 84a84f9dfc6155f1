// The log of a batch: one line per analysed file, written as it happens so that
// a batch cut short still tells which captures were judged.
#pragma once

#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

class CBatchLog {
public:
    // Opens `path` for writing, replacing an earlier log of the same name.
    bool Open(const std::string& path);

    // Opens "<folder>/<word>_<day>_<month>_<year>_<hour>_<minute>_<second>.log" for
    // the local time `when`. A log of that name already there belongs to another
    // batch started in the same second: a suffix "-2", "-3"... keeps both.
    bool OpenTimeStamped(const std::string& folder, const std::string& word, std::time_t when);
    // True for a file name OpenTimeStamped gives, whatever its word and time.
    static bool IsTimeStampedName(const std::string& name);

    void Write(const std::string& text);
    void Close();
    bool IsOpen() const { return m_File != nullptr; }
    // The path of the open log, or of the last one that was opened.
    const std::string& Path() const { return m_strPath; }

private:
    struct CloseFile {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, CloseFile> m_File;
    std::string m_strPath;
};
