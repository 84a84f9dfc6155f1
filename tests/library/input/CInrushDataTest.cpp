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
        {"header.csv", "Time,Current\n", nullptr},
        {"empty.csv", "", nullptr},
        {"back.csv", "1e-6,1\n0,1\n",
         "Error: File back.csv row 2 holds a time that is not later than the row before."},
        {"pair.bin", nullptr,
         "Error: File pair.bin holds two traces.\nAn inrush capture holds one current trace."}};
    for (const auto& [name, content, text] : cases) {
        SCOPED_TRACE(name);
        const std::string path = folder.Path(name);
        if (content)
            std::ofstream(path) << content;
        else  // a D+/D- pair: two traces and no current
            synth::WriteSingleEndedCapture({}, path, synth::FileFormat::KeysightBin);
        // No samples at all: the whole path is named, as far as the message has room.
        const std::string expected = text ? text : "Data File: " + path + " isEmpty";
        EXPECT_EQ(FailureText([&] { CInrushData().Load(kLimits, path, 5.0); }),
                  expected);
    }
    // A deep folder: the path is cut, the words around it stay.
    const std::string deep = folder.Path(std::string(120, 'd') + ".csv");
    std::ofstream(deep) << "Time,Current\n";
    const std::string message = FailureText([&] { CInrushData().Load(kLimits, deep, 5.0); });
    EXPECT_LE(message.size(), 99u);
    EXPECT_EQ(message.rfind("Data File: " + deep.substr(0, 40), 0), 0u) << message;
    EXPECT_TRUE(message.ends_with(" isEmpty")) << message;
}
