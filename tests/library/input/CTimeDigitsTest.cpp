// A time read from the digits that changed since the row before must be the very double
// the full read gives, and every text the short way cannot vouch for must be read in full.
#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "input/CNumberParser.h"
#include "input/CTimeDigits.h"

namespace {

struct Column {
    const char* m_Format;
    double m_dFirst;
    double m_dStep;
};

// Reads every row of `rows` (each a time and a separator) with one CTimeDigits, as a
// capture's time column is read, and compares value and end with the full read.
void ExpectAsFullRead(const std::vector<std::string>& rows) {
    std::string text;
    std::vector<std::size_t> starts;
    for (const std::string& row : rows) {
        starts.push_back(text.size());
        text += row;
    }
    text.append(64, '\n');  // the rest of a block: room to compare a whole window
    const char* const end = text.data() + text.size();
    CTimeDigits digits;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const char* const p = text.data() + starts[i];
        double want = 0.0, got = 0.0;
        const char* const wantEnd = ParseNumber(p, end, want);
        const char* const gotEnd = digits.Parse(p, end, got);
        ASSERT_EQ(gotEnd, wantEnd) << "row " << i << ": " << rows[i];
        if (wantEnd != nullptr) {
            ASSERT_EQ(std::bit_cast<uint64_t>(got), std::bit_cast<uint64_t>(want))
                << "row " << i << ": " << rows[i];
        }
    }
}

std::vector<std::string> Print(const Column& column, int count) {
    std::vector<std::string> rows;
    char text[64];
    for (int i = 0; i < count; ++i) {
        std::snprintf(text, sizeof text, column.m_Format, column.m_dFirst + i * column.m_dStep);
        rows.push_back(std::string(text) + ",");
    }
    return rows;
}

}  // namespace

TEST(TimeDigits, EveryTimeColumnReadsBitForBitAsTheFullRead) {
    // Columns whose last digits carry into the ones before, cross a decade of the
    // exponent, cross zero, run long in a fixed-point format, or have few digits.
    const Column columns[] = {
        {"%.12e", 0.0, 1.25e-10},  {"%.12e", 9.99999e-5, 1.25e-10}, {"%.9e", -2.5e-7, 1e-10},
        {"%+.8E", 0.0, 4e-9},      {"%.10f", 0.0012345, 2.5e-10},   {"%.6f", 99.9, 0.000125},
        {"%.17g", 1e-3, 1.25e-10}, {"%.12e", -1.0e-9, 2.0e-12},     {"%.3e", 0.0, 1e-3},
        {"%.14f", 123.0, 3.3e-11}, {"%.15e", 1.0e15, 1.0},          {"%.12e", 0.0, 1e-25},
    };
    for (const Column& column : columns) {
        SCOPED_TRACE(std::string(column.m_Format) + " from " + std::to_string(column.m_dFirst));
        ExpectAsFullRead(Print(column, 20000));
    }
}

TEST(TimeDigits, ATimeThatIsNotASoundNumberIsReadInFull) {
    // A clean column with one character spoilt in a row: in the changing digits, in the
    // fixed digits, in the exponent, at the end; the row after must read right again.
    std::vector<std::string> clean = Print({"%.12e", 1.0e-4, 1.25e-10}, 400);
    std::mt19937 random(7);
    const char spoilers[] = {'x', '.', '-', '+', 'e', ' ', '\0', ',', '9', '0', '\n'};
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<std::string> rows = clean;
        std::string& row = rows[1 + random() % (rows.size() - 1)];
        row[random() % row.size()] = spoilers[random() % sizeof spoilers];
        ExpectAsFullRead(rows);
    }
    // Rows that change length, drop the exponent or the sign, or are no number at all.
    ExpectAsFullRead({"1.250000000000e-04,", "1.250000012500e-04,", "1.25000002500e-04,",
                      "1.250000037500e-04,", "1.250000050000,", "-1.250000062500e-04,", "nan,",
                      "1.250000075000e-04,", "1.250000087500e-04\t", "1.250000100000e-04,",
                      "+1.250000112500e-04,", "1.250000125000e-04,"});
}
