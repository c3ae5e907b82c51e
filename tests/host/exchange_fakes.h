// In-memory body and output for driving the host's request and response.
#pragma once

#include <algorithm>
#include <map>
#include <string>

#include "host/exchange.h"

// Serves a body in pieces; can end early or fail after a number of bytes,
// the way a client that goes away or stalls does.
class StringBody final : public BodySource {
public:
    explicit StringBody(std::string data, size_t piece = 1 << 20, long failAfter = -1)
        : data_(std::move(data)), piece_(piece), failAfter_(failAfter)
    {
    }
    long read(char* buffer, size_t n) override
    {
        size_t end = data_.size();
        if (failAfter_ >= 0) {
            if (pos_ >= static_cast<size_t>(failAfter_))
                return -1;
            end = std::min(end, static_cast<size_t>(failAfter_));
        }
        size_t count = std::min({n, piece_, end - pos_});
        data_.copy(buffer, count, pos_);
        pos_ += count;
        return static_cast<long>(count);
    }
    size_t consumed() const { return pos_; }

private:
    std::string data_;
    size_t piece_;
    long failAfter_;
    size_t pos_ = 0;
};

class StringOutput final : public OutputSink {
public:
    bool write(const char* data, size_t size) override
    {
        text.append(data, size);
        return true;
    }
    std::string text;
};

// An answer split into its parts. Header names are kept as sent; a repeated
// header keeps its last value.
struct Answer {
    int status = 0;
    std::map<std::string, std::string> headers;
    std::string body;
    bool has(const std::string& name) const { return headers.count(name) != 0; }

    static Answer parse(const std::string& text)
    {
        Answer answer;
        size_t end = text.find("\r\n\r\n");
        if (end == std::string::npos)
            return answer;
        answer.body = text.substr(end + 4);
        size_t pos = 0;
        while (pos < end) {
            size_t eol = text.find("\r\n", pos);
            std::string line = text.substr(pos, eol - pos);
            size_t colon = line.find(": ");
            if (colon != std::string::npos)
                answer.headers[line.substr(0, colon)] = line.substr(colon + 2);
            pos = eol + 2;
        }
        answer.status = std::atoi(answer.headers["Status"].c_str());
        return answer;
    }
};
