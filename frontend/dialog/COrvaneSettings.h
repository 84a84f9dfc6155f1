// What the dialog remembers from one start to the next: the folders, the test
// choices and the supply voltage, under the user's "Brantis/Orvane" settings.
// The command line neither reads nor writes them.
#pragma once

class COrvaneRunner;

class COrvaneSettings {
public:
    // Writes every remembered value from the runner's fields.
    void SaveSettings(const COrvaneRunner& fields) const;
    // Reads back the folders, the device, hub and two-file choices and the voltage.
    // True only when every one was stored and both folders are set; the dialog then
    // also sets up the controls of the loaded device test.
    bool LoadSettings(COrvaneRunner& fields) const;
};
