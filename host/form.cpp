#include "host/form.h"

#include "platform/text.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string formDecode(const char* data, size_t size)
{
    std::string out;
    out.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        char c = data[i];
        if (c == '+') {
            out += ' ';
            continue;
        }
        if (c == '%' && i + 2 < size) {
            int high = hexValue(data[i + 1]);
            int low = hexValue(data[i + 2]);
            int byte = high < 0 || low < 0 ? -1 : high * 16 + low;
            if (byte > 0) {
                out += static_cast<char>(byte);
                i += 2;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseFormFields(const std::string& text)
{
    std::vector<std::pair<std::string, std::string>> fields;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('&', pos);
        if (end == std::string::npos)
            end = text.size();
        size_t eq = text.find('=', pos);
        size_t nameEnd = eq < end ? eq : end;
        std::string name = formDecode(text.data() + pos, nameEnd - pos);
        if (!name.empty()) {
            std::string value;
            if (eq < end)
                value = formDecode(text.data() + eq + 1, end - eq - 1);
            fields.emplace_back(std::move(name), std::move(value));
        }
        pos = end + 1;
    }
    return fields;
}

const std::string* HeaderValue::param(const char* name) const
{
    for (const auto& entry : params) {
        if (entry.first == name)
            return &entry.second;
    }
    return nullptr;
}

HeaderValue parseHeaderValue(const std::string& text)
{
    HeaderValue result;
    size_t pos = text.find(';');
    result.token = lower(trim(text.substr(0, pos)));
    while (pos != std::string::npos && pos < text.size()) {
        ++pos;  // past ';'
        size_t eq = text.find_first_of("=;", pos);
        if (eq == std::string::npos || text[eq] == ';') {
            // A bare word without a value: nothing we use.
            pos = eq;
            continue;
        }
        std::string name = lower(trim(text.substr(pos, eq - pos)));
        pos = text.find_first_not_of(" \t", eq + 1);
        std::string value;
        if (pos != std::string::npos && text[pos] == '"') {
            for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
                if (text[pos] == '\\' && pos + 1 < text.size() && text[pos + 1] == '"')
                    ++pos;
                value += text[pos];
            }
            pos = text.find(';', pos);
        } else if (pos != std::string::npos) {
            size_t end = text.find(';', pos);
            value = trim(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
            pos = end;
        }
        if (!name.empty())
            result.params.emplace_back(std::move(name), std::move(value));
    }
    return result;
}

std::string cookieValue(const std::string& header, const std::string& name)
{
    size_t pos = 0;
    while (pos < header.size()) {
        size_t end = header.find(';', pos);
        if (end == std::string::npos)
            end = header.size();
        std::string item = trim(header.substr(pos, end - pos));
        size_t eq = item.find('=');
        if (eq != std::string::npos && trim(item.substr(0, eq)) == name)
            return trim(item.substr(eq + 1));
        pos = end + 1;
    }
    return std::string();
}

void ParameterStore::add(const std::string& name, std::string value)
{
    values_.push_back(std::move(value));
    index_[name].push_back(values_.back().c_str());
}

const char* ParameterStore::first(const std::string& name) const
{
    auto it = index_.find(name);
    return it == index_.end() ? nullptr : it->second.front();
}

const char** ParameterStore::all(const std::string& name)
{
    auto it = index_.find(name);
    if (it == index_.end())
        return nullptr;
    // A copy per call, so that an array handed out earlier survives later adds.
    std::vector<const char*> array = it->second;
    array.push_back(nullptr);
    handedOut_.push_back(std::move(array));
    return handedOut_.back().data();
}
