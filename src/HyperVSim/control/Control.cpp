// Control: seeding, faults, journal and live objects.
#include "HyperVSim/Control.h"

#include "control/FaultPlan.h"
#include "control/Journal.h"
#include "model/Host.h"
#include "model/Seed.h"
#include "wmi/ComObject.h"

namespace HyperVSim {

void Control::reset() {
    Host::instance().write([](HostState& state) { seedDefaultHost(state); });
    FaultPlan::instance().clear();
    Journal::instance().clear();
}

void Control::setDefaultTemplateFirst(bool first) {
    Host::instance().write([first](HostState& state) { HyperVSim::setDefaultTemplateFirst(state, first); });
}

void Control::planNextStateChange(const StateChangePlan& plan) {
    Host::instance().write([&plan](HostState& state) { state.nextStateChange = plan; });
}

void Control::injectFault(const Fault& fault) {
    FaultPlan::instance().add(fault);
}
void Control::clearFaults() {
    FaultPlan::instance().clear();
}

std::vector<JournalEntry> Control::journal() {
    return Journal::instance().entries();
}
std::map<std::string, std::size_t> Control::journalCounts() {
    return Journal::instance().counts();
}
void Control::clearJournal() {
    Journal::instance().clear();
}
void Control::enableJournal(bool enabled) {
    Journal::instance().enable(enabled);
}

long Control::liveObjects() {
    return liveObjectCount().sum();
}

}  // namespace HyperVSim
