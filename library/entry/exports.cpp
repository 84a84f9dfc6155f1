// The library's whole outside surface: three C functions that run one analysis
// each and answer with one shared result text.
#include <cstring>
#include <exception>
#include <string>

#include "entry/CAnalysisError.h"
#include "entry/CUsbInrushCheck.h"
#include "entry/CUsbSigCheck.h"
#include "velkin.h"

namespace {

constexpr std::size_t kResultBytes = 1024;

// Module state lives from load to unload; calls never overlap.
struct ModuleState {
    CUsbSigCheck signalDriver;
    CUsbInrushCheck inrushDriver;
    char result[kResultBytes] = {};
};

ModuleState& State() {
    static ModuleState state;
    return state;
}

std::string Owned(const char* text) { return text ? std::string(text) : std::string(); }

void SetResult(const char* text) {
    char* result = State().result;
    std::strncpy(result, text, kResultBytes - 1);
    result[kResultBytes - 1] = '\0';
}

// Runs one analysis and turns whatever stopped it into the result text.
template <typename Analysis>
char* Guarded(Analysis&& analysis) {
    SetResult("");
    try {
        analysis();
    } catch (const CAnalysisError& error) {
        SetResult(error.what());
    } catch (...) {
        SetResult("Unknown Exception");
    }
    return State().result;
}

char* SignalCheck(const char* dataFile, const char* testType, const char* secondFile, unsigned mode,
                  unsigned hubs, bool isEusb) {
    return Guarded([&] {
        State().signalDriver.Run(Owned(dataFile), Owned(testType), Owned(secondFile), mode, hubs,
                                 isEusb);
    });
}

// Created at load so the first call finds the drivers ready.
[[maybe_unused]] const bool kLoaded = (State(), true);

}  // namespace

extern "C" {

VELKIN_API char* UsbSigCheck(const char* dataFile, const char* testType, const char* secondFile,
                             unsigned mode, unsigned hubs) {
    return SignalCheck(dataFile, testType, secondFile, mode, hubs, false);
}

VELKIN_API char* eUsbSigCheck(const char* dataFile, const char* testType, const char* secondFile,
                              unsigned mode, unsigned hubs) {
    return SignalCheck(dataFile, testType, secondFile, mode, hubs, true);
}

VELKIN_API char* UsbInrushCheck(const char* dataFile, double voltage, unsigned mode) {
    return Guarded([&] { State().inrushDriver.Run(Owned(dataFile), voltage, mode); });
}
}
