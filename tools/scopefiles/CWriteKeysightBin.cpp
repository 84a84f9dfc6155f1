#include "scopefiles/CWriteKeysightBin.h"

#include <cstdint>

#include "scopefiles/CByteImage.h"

void CWriteKeysightBin::Write(const std::string& path, double origin, double interval,
                              const std::vector<double>& first,
                              const std::vector<double>& second) const {
    const int32_t waveforms = second.empty() ? 1 : 2;
    CByteImage file(12);
    file.PutText(0, "AG10");
    file.Put<int32_t>(8, waveforms);
    for (int32_t w = 0; w < waveforms; ++w) {
        const std::vector<double>& volts = w == 0 ? first : second;
        const std::vector<float> samples(volts.begin(), volts.end());
        const std::size_t at = file.Size();
        const auto points = static_cast<int32_t>(samples.size());
        file.Put<int32_t>(at + 0, 140);
        file.Put<int32_t>(at + 4, 1);  // normal acquisition
        file.Put<int32_t>(at + 8, 1);  // one buffer
        file.Put<int32_t>(at + 12, points);
        file.Put<int32_t>(at + 16, 1);
        file.Put<float>(at + 20, static_cast<float>(interval * points));
        file.Put<double>(at + 24, origin);
        file.Put<double>(at + 32, interval);
        file.Put<double>(at + 40, origin);
        file.Put<int32_t>(at + 48, 2);  // seconds
        file.Put<int32_t>(at + 52, 1);  // volts
        file.PutText(at + 88, "VELKIN SCOPEFILES");
        file.PutText(at + 112, w == 0 ? "1" : "2");
        file.Put<int32_t>(at + 136, 0);
        file.Put<int32_t>(at + 140, 12);
        file.Put<int16_t>(at + 144, 1);  // normal float32 buffer
        file.Put<int16_t>(at + 146, 4);
        file.Put<int32_t>(at + 148, points * 4);
        file.Append(samples);
    }
    file.Put<int32_t>(4, static_cast<int32_t>(file.Size()));
    file.Save(path);
}
