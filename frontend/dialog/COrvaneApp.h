// Orvane with its window: the dialog shown modally, the program ending when it closes.
#pragma once

class COrvaneApp {
public:
    int Run(int& argc, char** argv) const;
};
