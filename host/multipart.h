// Streaming parser for multipart/form-data bodies.
//
// Bytes are fed in pieces of any size (a delimiter may be split across
// feeds); the parser reports each part's headers, its data in pieces and its
// end to a handler, holding at most one header block and a delimiter's length
// of data in memory. The handler may stop the parse by returning false.
#pragma once

#include <cstddef>
#include <string>

struct MultipartPart {
    std::string name;         // the form field name; empty when not given
    std::string fileName;     // the client's file name as sent
    bool isFile = false;      // a "filename" parameter was present (even empty)
    std::string contentType;  // the part's Content-Type, empty when not given
};

class MultipartHandler {
public:
    virtual bool onPartBegin(const MultipartPart& part) = 0;
    virtual bool onPartData(const char* data, size_t size) = 0;
    virtual bool onPartEnd() = 0;

protected:
    ~MultipartHandler() = default;
};

class MultipartParser {
public:
    enum class Error {
        None,
        BadBoundary,      // empty, longer than 70 characters, or with a CR/LF
        NoBoundary,       // the body never reached its first delimiter
        BadDelimiter,     // a delimiter line followed by anything but CRLF or "--"
        HeaderTooLarge,   // a part's header block over the limit
        BadHeader,        // a header line without a colon
        TooManyParts,
        Truncated,        // the body ended before the closing delimiter
        Stopped,          // the handler returned false
    };

    struct Limits {
        size_t maxHeaderBytes = 8192;
        size_t maxParts = 256;
    };

    MultipartParser(const std::string& boundary, MultipartHandler& handler);
    MultipartParser(const std::string& boundary, MultipartHandler& handler, Limits limits);

    // Both return false once the body is known to be broken; error() says why.
    bool feed(const char* data, size_t size);
    // Call at the end of the body: false unless the closing delimiter was seen.
    bool finish();
    Error error() const { return error_; }
    static const char* describe(Error error);

    // Splits a part's header block (lines separated by CRLF, without the
    // blank line) into the part description; false for a malformed block.
    static bool parseHeaders(const std::string& block, MultipartPart& part);

private:
    enum class State { Preamble, AfterDelimiter, Padding, Headers, Data, Epilogue, Failed };

    bool fail(Error error);
    // Runs the state machine over buffer_; returns false on failure.
    bool process();
    bool emitData(size_t size);

    MultipartHandler& handler_;
    Limits limits_;
    std::string delimiter_;  // CRLF "--" boundary
    std::string buffer_;     // bytes fed but not consumed yet
    State state_ = State::Preamble;
    Error error_ = Error::None;
    size_t parts_ = 0;
    size_t padding_ = 0;
};
