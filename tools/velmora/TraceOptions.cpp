// --record FILE and --replay FILE, the same on both builds: what records and what replays is the host's
// (installWmiStandIn).
#include "Host.h"
#include "Validators.h"

namespace VelmoraCommand {

TraceOptions addTraceOptions(CLI::App& app, GlobalOptions& global) {
    TraceOptions options;
    options.record = app.add_option("--record", global.record,
                                    "Write every WMI call of the run, with what the host answered, to the trace\n"
                                    "FILE (JSON lines; see the README before you share one)")
                         ->type_name("FILE")
                         ->check(notEmptyValidator("the trace's name"));
    options.replay = app.add_option("--replay", global.replay,
                                    "Answer every WMI call of the run from the trace FILE instead of the host;\n"
                                    "a call the trace has no answer for ends the command (status 1)")
                         ->type_name("FILE")
                         ->check(notEmptyValidator("the trace's name"));
    options.record->excludes(options.replay);
    return options;
}

}  // namespace VelmoraCommand
