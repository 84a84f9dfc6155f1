#pragma once

#include <string>

// How files are named: the file a message names, and where the outputs of a capture go.
// The name of a file at the end of a path. Both "/" and "\" end a folder, so a
// path written on a Windows scope still names its file in a message.
std::string FileNameOf(const std::string& path);

// The path made absolute, so that a bare file name means one in the working folder
// (unchanged if the working folder cannot be read).
std::string AbsolutePath(const std::string& path);

// Where every output of one capture goes and what it is called: the folder the data
// file lies in, and its name up to the last full stop, so "/data/cap.csv" gives
// cap.html, capPlot.png, capEye.png, capPacket.png and cap_sum.csv in /data, and
// "capture.wfm.bin" gives "capture.wfm.html". Only "/" ends a folder here: on this
// system "run1\cap.csv" is a capture of its own, and its outputs
// ("run1\cap.html", ...) stay beside it and apart from those of "cap.csv".
// The environment variable VELKIN_OUTPUT_DIR, when set and not empty, names the
// folder instead (relative to the working folder), for every output and batch
// summary alike; the folder is not created.
struct COutputNames {
    std::string m_strFolder;    // absolute; a bare data file name lies in the working folder
    std::string m_strDataName;  // the data file's own name
    std::string m_strStem;      // m_strDataName up to its last full stop

    // The output named `m_strStem + suffix`, in m_strFolder.
    std::string Path(const std::string& suffix) const;
};
COutputNames OutputNamesOf(const std::string& dataFile);

// Where a new batch summary of `dataFile` is started: the folder the environment
// variable VELKIN_BATCH_DIR names when it is set and not empty (relative to the working
// folder; not created), else the capture's output folder. A front end that runs a
// batch's captures in several processes keeps each capture's summary line apart there
// and joins the lines in the batch's order itself.
std::string BatchSummaryFolderOf(const std::string& dataFile);
