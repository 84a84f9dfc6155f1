#include "spec/CHighSpeedFarEnd.h"

#include "spec/CHighSpeedNearEnd.h"

std::unique_ptr<CSigSpec> CHighSpeedFarEnd::Build() const {
    // At the far end of the cable the eye has closed: same limits as at the near
    // end, but a smaller inner keep-out polygon, 0.125, 0.35, 0.65, 0.875 UI wide
    // and ±175 mV high, for both the first and the second check.
    std::unique_ptr<CSigSpec> spec = CHighSpeedNearEnd().Build();
    CSigSpec& s = *spec;
    s.m_nTestId = 3;
    for (EyeTemplate* eye : {&s.m_Eye1, &s.m_Eye2}) {
        eye->InnerV = {0, -0.175, -0.175, 0, 0.175, 0.175, 0};
        eye->InnerT = {2.6041666666666667e-10, 7.291666666666666e-10,  1.3541666666666668e-09,
                       1.8229166666666667e-09, 1.3541666666666668e-09, 7.291666666666666e-10,
                       2.6041666666666667e-10};
    }
    return spec;
}
