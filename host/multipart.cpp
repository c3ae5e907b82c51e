#include "host/multipart.h"

#include <algorithm>

#include "host/form.h"
#include "platform/text.h"

namespace {

const char kCrlf[] = "\r\n";

}  // namespace

MultipartParser::MultipartParser(const std::string& boundary, MultipartHandler& handler)
    : MultipartParser(boundary, handler, Limits())
{
}

MultipartParser::MultipartParser(const std::string& boundary, MultipartHandler& handler,
                                 Limits limits)
    : handler_(handler), limits_(limits), delimiter_("\r\n--" + boundary)
{
    if (boundary.empty() || boundary.size() > 70 ||
        boundary.find_first_of("\r\n") != std::string::npos) {
        fail(Error::BadBoundary);
        return;
    }
    // The first delimiter may open the body without a line break before it.
    buffer_ = kCrlf;
}

const char* MultipartParser::describe(Error error)
{
    switch (error) {
    case Error::None: return "no error";
    case Error::BadBoundary: return "unusable boundary";
    case Error::NoBoundary: return "no boundary in the body";
    case Error::BadDelimiter: return "malformed delimiter line";
    case Error::HeaderTooLarge: return "part header too large";
    case Error::BadHeader: return "malformed part header";
    case Error::TooManyParts: return "too many parts";
    case Error::Truncated: return "body ends before the closing boundary";
    case Error::Stopped: return "stopped by the receiver";
    }
    return "unknown error";
}

bool MultipartParser::fail(Error error)
{
    state_ = State::Failed;
    error_ = error;
    buffer_.clear();
    return false;
}

bool MultipartParser::feed(const char* data, size_t size)
{
    if (state_ == State::Failed)
        return false;
    if (state_ == State::Epilogue || size == 0)
        return true;
    buffer_.append(data, size);
    return process();
}

bool MultipartParser::finish()
{
    switch (state_) {
    case State::Failed: return false;
    case State::Epilogue: return true;
    case State::Preamble: return fail(Error::NoBoundary);
    default: return fail(Error::Truncated);
    }
}

bool MultipartParser::emitData(size_t size)
{
    return size == 0 || handler_.onPartData(buffer_.data(), size);
}

bool MultipartParser::process()
{
    // Consumed bytes are cut from the front of the buffer after every step, so
    // that the buffer never holds more than one step's worth.
    for (;;) {
        const size_t keep = delimiter_.size() - 1;
        switch (state_) {
        case State::Preamble:
        case State::Data: {
            size_t found = buffer_.find(delimiter_);
            if (found == std::string::npos) {
                // Hold back what could be the start of a split delimiter.
                size_t ready = buffer_.size() > keep ? buffer_.size() - keep : 0;
                if (state_ == State::Data && !emitData(ready))
                    return fail(Error::Stopped);
                buffer_.erase(0, ready);
                return true;
            }
            if (state_ == State::Data && (!emitData(found) || !handler_.onPartEnd()))
                return fail(Error::Stopped);
            buffer_.erase(0, found + delimiter_.size());
            state_ = State::AfterDelimiter;
            break;
        }
        case State::AfterDelimiter:
            if (buffer_.size() < 2)
                return true;
            if (buffer_.compare(0, 2, "--") == 0) {
                buffer_.clear();
                state_ = State::Epilogue;
                return true;
            }
            padding_ = 0;
            state_ = State::Padding;
            break;
        case State::Padding: {
            // Blanks may follow the boundary before its line break.
            size_t blanks = std::min(buffer_.find_first_not_of(" \t"), buffer_.size());
            padding_ += blanks;
            buffer_.erase(0, blanks);
            if (padding_ > limits_.maxHeaderBytes)
                return fail(Error::BadDelimiter);
            if (buffer_.empty())
                return true;
            if (buffer_[0] != '\r' || (buffer_.size() > 1 && buffer_[1] != '\n'))
                return fail(Error::BadDelimiter);
            if (buffer_.size() < 2)
                return true;
            buffer_.erase(0, 2);
            if (++parts_ > limits_.maxParts)
                return fail(Error::TooManyParts);
            state_ = State::Headers;
            break;
        }
        case State::Headers: {
            // The block ends at a blank line; a part without headers starts
            // with that blank line.
            std::string block;
            if (buffer_.compare(0, 2, kCrlf) == 0) {
                buffer_.erase(0, 2);
            } else {
                size_t end = buffer_.find("\r\n\r\n");
                if (end == std::string::npos) {
                    if (buffer_.size() > limits_.maxHeaderBytes + 3)
                        return fail(Error::HeaderTooLarge);
                    return true;
                }
                if (end > limits_.maxHeaderBytes)
                    return fail(Error::HeaderTooLarge);
                block = buffer_.substr(0, end);
                buffer_.erase(0, end + 4);
            }
            MultipartPart part;
            if (!parseHeaders(block, part))
                return fail(Error::BadHeader);
            if (!handler_.onPartBegin(part))
                return fail(Error::Stopped);
            state_ = State::Data;
            break;
        }
        case State::Epilogue:
            buffer_.clear();
            return true;
        case State::Failed:
            return false;
        }
    }
}

bool MultipartParser::parseHeaders(const std::string& block, MultipartPart& part)
{
    std::vector<std::pair<std::string, std::string>> headers;
    size_t pos = 0;
    while (pos < block.size()) {
        size_t end = block.find(kCrlf, pos);
        if (end == std::string::npos)
            end = block.size();
        std::string line = block.substr(pos, end - pos);
        pos = end + 2;
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            // An obsolete folded line continues the header before it.
            if (headers.empty())
                return false;
            headers.back().second += " " + trim(line);
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0)
            return false;
        headers.emplace_back(lower(trim(line.substr(0, colon))), trim(line.substr(colon + 1)));
    }
    for (const auto& header : headers) {
        if (header.first == "content-type") {
            part.contentType = header.second;
        } else if (header.first == "content-disposition") {
            HeaderValue value = parseHeaderValue(header.second);
            if (const std::string* name = value.param("name"))
                part.name = *name;
            if (const std::string* fileName = value.param("filename")) {
                part.fileName = *fileName;
                part.isFile = true;
            }
        }
    }
    return true;
}
