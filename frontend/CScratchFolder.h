// A folder of this run's own under the system's temporary folder, where the batch
// summary lines of analyses made apart from the batch are kept until the batch takes
// them; removed with all it holds when the run is done with it.
#pragma once

#include <string>

class CScratchFolder {
public:
    // Throws std::runtime_error naming the folder and the reason when it cannot be made.
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // `name` inside the folder.
    std::string Path(const std::string& name) const { return m_strPath + "/" + name; }

private:
    std::string m_strPath;
};
