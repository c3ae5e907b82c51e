// Fuzzes the directory's CSV parser: any input parses without fault, and
// what it parsed, written out as the export writes it, parses back to the
// very same rows.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "directory/ContactsCsv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CsvRows rows;
    ParseCsv(reinterpret_cast<const char*>(data), size, rows);
    std::string written = "\xEF\xBB\xBF";
    for (const CsvRow& row : rows) {
        for (size_t i = 0; i < row.size(); ++i) {
            if (i)
                written += ',';
            AppendCsvField(written, row[i]);
        }
        written += "\r\n";
    }
    CsvRows again;
    ParseCsv(written.data(), written.size(), again);
    if (again != rows)
        abort();
    return 0;
}
