// HyperVSim.dll, from the folder of velmora.exe, in a run that asks for it: its simulated host registered for
// the process in Hyper-V's place (the hidden --simulated-host), or answering from a trace (--replay); and the
// recording of every WMI call the run makes (--record), to Hyper-V or to the simulated host. All of it goes
// through the DLL's C entry points (<HyperVSim/Registration.h>), in place before the command reaches WMI and
// taken away, and the DLL unloaded, when the run ends.
#pragma once

#include <windows.h>

#include <HyperVSim/Registration.h>

#include <string>

#include "Host.h"

namespace VelmoraCommand {

class HyperVSimLibrary : public WmiStandIn {
public:
    struct Use {
        bool simulatedHost = false;
        std::string replay;  // a trace; the simulated host answers from it
        std::string record;  // a trace to write
    };

    // Throws Failure naming the file and why it cannot serve; BadInput for a trace it cannot read.
    explicit HyperVSimLibrary(const Use& use);
    ~HyperVSimLibrary() override;
    HyperVSimLibrary(const HyperVSimLibrary&) = delete;
    HyperVSimLibrary& operator=(const HyperVSimLibrary&) = delete;

    // The replay's diagnostic, once a call had no answer.
    std::optional<std::string> fault() const override;
    // Ends the recording; throws Failure when a call could not be written to the trace.
    void finish() override;

private:
    template <class Function>
    Function entryPoint(const char* name) const;
    // Takes back, in reverse order, what the constructor put in place.
    void release();

    std::string path_;  // of the DLL, UTF-8
    HMODULE module_ = nullptr;
    bool registered_ = false;
    HyperVSimReplayDiagnosticFunction diagnostic_ = nullptr;  // while replaying
    std::string recording_;                                   // the trace being written; empty when none
};

}  // namespace VelmoraCommand
