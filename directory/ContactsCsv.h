// The directory's CSV format: fields separated by ",", rows by "\r\n" (or
// "\n" in files without any "\r\n"), a field that holds a separator, a
// quote or a line break quoted with doubled quotes inside (RFC 4180), an
// optional UTF-8 byte-order mark in front.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

typedef std::vector<std::string> CsvRow;
typedef std::vector<CsvRow> CsvRows;

// Replaces rows with the rows of data; rows whose fields are all empty are
// dropped. A quote opening a field starts a quoted part, in which commas and
// line breaks are text and "" stands for one quote; text after its closing
// quote up to the next comma joins the field. A quoted part left open runs
// to the end of the data. Returns the number of rows kept.
size_t ParseCsv(const char* data, size_t length, CsvRows& rows);

// Appends one field, quoted only when it has to be.
void AppendCsvField(std::string& line, const std::string& value);
