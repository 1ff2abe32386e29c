// A test program of a host application: seeds the simulated host through its control interface.
#include <HyperVSim/Control.h>

int main() {
    HyperVSim::Control::reset();
    return HyperVSim::Control::switches().size() == 2 ? 0 : 1;
}
