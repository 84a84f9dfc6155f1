#include "spec/CEHighSpeedNearEnd.h"

#include "spec/CHighSpeedNearEnd.h"

std::unique_ptr<CSigSpec> CEHighSpeedNearEnd::Build() const {
    // An eUSB2 repeater is judged on the near-end high-speed limits; its longer
    // start-up and wind-down leave more crossings out at each end of the packet.
    std::unique_ptr<CSigSpec> spec = CHighSpeedNearEnd().Build();
    spec->m_nTestId = 10;
    spec->m_nCrossoverFirst = 3;
    spec->m_nCrossoverSkipLast = 2;
    return spec;
}
