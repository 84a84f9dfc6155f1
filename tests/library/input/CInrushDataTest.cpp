#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "library/inrush/InrushCaptures.h"

using inrush::kLimits;

// A file whose supply current cannot be judged is refused with the reason.
TEST(InrushData, UnusableFilesFailWithTheirReason) {
    const CTempFolder folder;
    const char* const cases[][3] = {
        {"three.csv", "0,1,2\n1e-6,1,2\n",
         "Error: File three.csv has 3 columns.\nCan only have 2 for Inrush measurement."},
        {"one.csv", "0,1\n", "Error: File one.csv holds fewer than 2 data rows."},
        {"back.csv", "1e-6,1\n0,1\n", "Sample times do not increase at the start of the capture"},
        {"pair.bin", nullptr,
         "Error: File pair.bin holds two traces.\nAn inrush capture holds one current trace."}};
    for (const auto& [name, content, text] : cases) {
        SCOPED_TRACE(name);
        if (content)
            std::ofstream(folder.Path(name)) << content;
        else  // a D+/D- pair: two traces and no current
            synth::WriteSingleEndedCapture({}, folder.Path(name), synth::FileFormat::KeysightBin);
        EXPECT_EQ(FailureText([&] { CInrushData().Load(kLimits, folder.Path(name), 5.0); }), text);
    }
}
