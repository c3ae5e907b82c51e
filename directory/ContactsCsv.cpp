#include "directory/ContactsCsv.h"

#include <cstring>

size_t ParseCsv(const char* data, size_t length, CsvRows& rows)
{
    rows.clear();
    if (!data)
        return 0;
    const char* p = data;
    const char* end = data + length;
    if (length >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    // Files from one system end every row alike: a single "\r\n" anywhere
    // makes it the row separator, and a lone "\n" is then text.
    bool crlf = false;
    for (const char* at = p; at + 1 < end && !crlf; ++at)
        crlf = at[0] == '\r' && at[1] == '\n';
    auto rowEndsAt = [&](const char* at) {
        return crlf ? (at + 1 < end && at[0] == '\r' && at[1] == '\n') : *at == '\n';
    };
    const size_t separatorLength = crlf ? 2 : 1;

    CsvRow row;
    std::string field;
    bool anyText = false;
    auto endRow = [&]() {
        row.push_back(field);
        anyText = anyText || !field.empty();
        if (anyText)
            rows.push_back(std::move(row));
        row.clear();
        field.clear();
        anyText = false;
    };
    bool started = false;
    while (p < end) {
        started = true;
        if (*p == '"') {
            // A quoted part: up to the quote that is not doubled.
            for (++p; p < end; ++p) {
                if (*p != '"') {
                    field += *p;
                } else if (p + 1 < end && p[1] == '"') {
                    field += '"';
                    ++p;
                } else {
                    ++p;
                    break;
                }
            }
        }
        while (p < end && *p != ',' && !rowEndsAt(p))
            field += *p++;
        if (p >= end)
            break;
        if (*p == ',') {
            anyText = anyText || !field.empty();
            row.push_back(std::move(field));
            field.clear();
            ++p;
        } else {
            endRow();
            started = false;
            p += separatorLength;
        }
    }
    if (started)
        endRow();
    return rows.size();
}

void AppendCsvField(std::string& line, const std::string& value)
{
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        line += value;
        return;
    }
    line += '"';
    for (char c : value) {
        if (c == '"')
            line += '"';
        line += c;
    }
    line += '"';
}
