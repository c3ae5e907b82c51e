// Fuzzes the streaming multipart parser and the form-text helpers.
//
// Input: the boundary, a newline, then the body. The body is fed twice: whole
// and in pieces whose sizes come from the body's own bytes; both runs must
// report the same parts, data and outcome, or a split delimiter went wrong.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/form.h"
#include "host/multipart.h"

namespace {

class Recorder final : public MultipartHandler {
public:
    bool onPartBegin(const MultipartPart& part) override
    {
        log += "B" + part.name + "\x01" + part.fileName + "\x01" + (part.isFile ? "f" : "t") + "\x01" +
               part.contentType + "\x02";
        return true;
    }
    bool onPartData(const char* data, size_t size) override
    {
        log.append(data, size);
        return true;
    }
    bool onPartEnd() override
    {
        log += "\x03";
        return true;
    }
    std::string log;
};

std::string run(const std::string& boundary, const std::string& body, bool split)
{
    Recorder recorder;
    MultipartParser::Limits limits;
    limits.maxHeaderBytes = 512;
    limits.maxParts = 16;
    MultipartParser parser(boundary, recorder, limits);
    size_t pos = 0;
    bool ok = true;
    while (ok && pos < body.size()) {
        size_t piece = split ? 1 + static_cast<unsigned char>(body[pos]) % 17 : body.size();
        if (piece > body.size() - pos)
            piece = body.size() - pos;
        ok = parser.feed(body.data() + pos, piece);
        pos += piece;
    }
    ok = ok && parser.finish();
    return recorder.log + "|" + MultipartParser::describe(parser.error());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t newline = input.find('\n');
    if (newline == std::string::npos)
        return 0;
    std::string boundary = input.substr(0, newline);
    std::string body = input.substr(newline + 1);

    if (run(boundary, body, false) != run(boundary, body, true))
        abort();

    // The helpers that read the same kinds of text.
    parseHeaderValue(boundary);
    parseFormFields(body);
    cookieValue(body, boundary);
    MultipartPart part;
    MultipartParser::parseHeaders(body, part);
    return 0;
}
