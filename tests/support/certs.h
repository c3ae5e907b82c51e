// Certificates made for a test: a fresh P-256 key and a self-signed
// certificate with the given common name, valid from now for `days` (a
// negative count makes one that expired).
#pragma once

#include <string>

class TestCert {
public:
    explicit TestCert(const std::string& commonName, int days = 365);
    ~TestCert();
    TestCert(const TestCert&) = delete;
    TestCert& operator=(const TestCert&) = delete;

    std::string pem() const;
    std::string der() const;
    std::string keyPem() const;

private:
    struct Impl;
    Impl* impl_;
};
