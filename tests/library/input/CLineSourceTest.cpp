#include <gtest/gtest.h>

#include <fstream>

#include "CTempFolder.h"
#include "input/CLineSource.h"

TEST(LineSource, LinesComeOutWholeWhereverTheReadChunksEnd) {
    const CTempFolder folder;
    const std::string path = folder.Path("lines.csv");
    const std::string body = "a\r\nbb\n\rccc\r\n\nlonger than any chunk\r\nlast";
    std::ofstream(path, std::ios::binary) << "\xEF\xBB\xBF" << body;
    const std::vector<std::string> expected{"a",   "bb", "", "ccc", "", "longer than any chunk",
                                            "last"};

    for (std::size_t chunk = 1; chunk <= 24; ++chunk) {
        SCOPED_TRACE(chunk);
        CLineSource lines(path, chunk);
        std::vector<std::string> got;
        for (std::string_view line; lines.NextLine(line);) got.emplace_back(line);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(lines.Offset(), lines.FileBytes());

        // Blocks after the first line rebuild the rest of the file.
        CLineSource blocks(path, chunk);
        std::string_view line;
        ASSERT_TRUE(blocks.NextLine(line));
        std::string rest;
        for (bool last = false; !last;) rest += blocks.NextBlock(last);
        EXPECT_EQ(rest, body.substr(3));
    }
}
