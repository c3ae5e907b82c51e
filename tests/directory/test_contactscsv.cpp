#include "directory/ContactsCsv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Rows joined for comparison: fields by "|", rows by "/".
std::string Parsed(const std::string& data)
{
    CsvRows rows;
    size_t kept = ParseCsv(data.data(), data.size(), rows);
    std::string out;
    for (const CsvRow& row : rows) {
        out += out.empty() ? "" : "/";
        for (size_t i = 0; i < row.size(); ++i)
            out += (i ? "|" : "") + row[i];
    }
    EXPECT_EQ(kept, rows.size());
    return out;
}

#define CHECK_CSV(data, expected) EXPECT_EQ(expected, Parsed(std::string(data, sizeof(data) - 1))) << data

TEST(ContactsCsv, Parses)
{
    CHECK_CSV("a,b\nc,d\n", "a|b/c|d");
    CHECK_CSV("a,b\r\nc,d", "a|b/c|d");
    CHECK_CSV("a\nb\r\nc", "a\nb/c");                      // one "\r\n" makes it the separator
    CHECK_CSV("\xEF\xBB\xBFname,x\n", "name|x");             // byte-order mark skipped
    CHECK_CSV("\"a,b\",c\n", "a,b|c");                      // quoted comma
    CHECK_CSV("\"a\r\nb\",c\r\nd,e\r\n", "a\r\nb|c/d|e");   // quoted line break joins rows
    CHECK_CSV("\"say \"\"hi\"\"\",x", "say \"hi\"|x");       // doubled quotes
    CHECK_CSV("\"\"\"\",x\n", "\"|x");
    CHECK_CSV(",,\n\n,\na,\n", "a|");                         // empty rows dropped
    CHECK_CSV("a,\"open\nnever closed", "a|open\nnever closed");
    CHECK_CSV("x\"y,z", "x\"y|z");                            // a quote inside is text
    CHECK_CSV("\"q\"tail,z", "qtail|z");
    CHECK_CSV("", "");
    CHECK_CSV("\xEF\xBB\xBF", "");
    CHECK_CSV("a,b,", "a|b|");
}

TEST(ContactsCsv, WrittenFieldsReadBackUnchanged)
{
    const char* const values[] = {"plain", "a,b", "say \"hi\"", "two\r\nlines", "lf\nonly", "",
                                  "\"", "Zoë, \"Z\"\n<Ward>"};
    std::string line;
    for (const char* value : values) {
        AppendCsvField(line, value);
        line += ',';
    }
    line += "end\r\n";
    CsvRows rows;
    ASSERT_EQ(1u, ParseCsv(line.data(), line.size(), rows));
    ASSERT_EQ(sizeof values / sizeof values[0] + 1, rows[0].size());
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        EXPECT_EQ(values[i], rows[0][i]);
}

}  // namespace
