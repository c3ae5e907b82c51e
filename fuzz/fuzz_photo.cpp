// Fuzzes the image header reader that decides whether an imported contact
// photo is stored as it comes: any bytes are read without fault, and a size
// it reports is positive.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "directory/ContactsCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int width = 0, height = 0;
    if (ImageDimensions(std::string(reinterpret_cast<const char*>(data), size), width, height) &&
        (width <= 0 || height <= 0))
        abort();
    return 0;
}
