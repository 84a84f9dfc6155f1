// The library's whole outside surface: three C functions that run one analysis
// each and answer with one shared result text.
#include <locale.h>

#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "common/CAnalysisError.h"
#include "entry/CUsbInrushCheck.h"
#include "entry/CUsbSigCheck.h"
#include "report/CToolboxGlobals.h"
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

// Scope descriptions are read, and reports written, with a decimal point whatever
// locale the calling program runs in: a desktop set to German would otherwise turn
// 480.0003 MHz into "480,0003" and refuse a header's "2.5e-11". Only this thread's
// locale changes, and only for the length of one call.
class CDecimalPoint {
public:
    CDecimalPoint() : m_Previous(Classic() ? uselocale(Classic()) : nullptr) {}
    ~CDecimalPoint() {
        if (m_Previous) uselocale(m_Previous);
    }
    CDecimalPoint(const CDecimalPoint&) = delete;
    CDecimalPoint& operator=(const CDecimalPoint&) = delete;

private:
    static locale_t Classic() {
        static const locale_t classic = newlocale(LC_ALL_MASK, "C", nullptr);
        return classic;
    }
    locale_t m_Previous;
};

// Runs one analysis and turns whatever stopped it into the result text.
template <typename Analysis>
char* Guarded(const char* dataFile, Analysis&& analysis) {
    const CDecimalPoint decimalPoint;
    SetResult("");
    NoteCaptureSamples(0);
    try {
        analysis();
    } catch (const CAnalysisError& error) {
        SetResult(error.what());
    } catch (const std::bad_alloc&) {
        // A capture too long for this machine is a reason the user can act on.
        SetResult(
            ComposeMessage("Not enough memory to analyse %s (%d samples)",
                           {FileNameOf(Owned(dataFile)), std::to_string(NotedCaptureSamples())})
                .c_str());
    } catch (...) {
        SetResult("Unknown Exception");
    }
    return State().result;
}

char* SignalCheck(const char* dataFile, const char* testType, const char* secondFile, unsigned mode,
                  unsigned hubs, bool isEusb) {
    return Guarded(dataFile, [&] {
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
    return Guarded(dataFile, [&] { State().inrushDriver.Run(Owned(dataFile), voltage, mode); });
}
}
