// Form and header text: percent-decoding, urlencoded fields, header
// parameters, and the request's parameter store.
#pragma once

#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Decodes form text: "+" is a space and %XX a byte. A malformed escape stays
// as written, and so does "%00", so that no value is cut short by a zero byte.
std::string formDecode(const char* data, size_t size);

// The fields of an application/x-www-form-urlencoded text, in order. Empty
// segments and fields without a name are skipped; a field without "=" has the
// empty value.
std::vector<std::pair<std::string, std::string>> parseFormFields(const std::string& text);

// A header value such as `form-data; name="a"; filename="b.txt"`: the leading
// token in lower case and its parameters (names in lower case, values
// unquoted). Inside quotes only \" is an escape: browsers send Windows paths
// with bare backslashes.
struct HeaderValue {
    std::string token;
    std::vector<std::pair<std::string, std::string>> params;
    // The parameter's value, or null when absent.
    const std::string* param(const char* name) const;
};
HeaderValue parseHeaderValue(const std::string& text);

// The value of one cookie in a Cookie header; empty when absent.
std::string cookieValue(const std::string& header, const std::string& name);

// Values by field name, in the order they were added. Every text handed out
// stays valid (and unchanged) for the life of the store.
class ParameterStore {
public:
    void add(const std::string& name, std::string value);
    // The first value, or null.
    const char* first(const std::string& name) const;
    // A null-terminated array of every value, or null when there is none.
    const char** all(const std::string& name);

private:
    std::deque<std::string> values_;
    std::map<std::string, std::vector<const char*>> index_;
    std::deque<std::vector<const char*>> handedOut_;
};
