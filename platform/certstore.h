// The phone's certificate store: the server certificate its web server
// presents and the CA certificates it trusts as a TLS client. Certificates are
// read with OpenSSL (PEM or DER); every path is a phone path.
//
// Layout under "/config/certs/":
//   server/WebServer.pem      uploaded server certificate with its key (+ .MD5)
//   phonedev/WebServer.pem    the phone's own (prefabricated) server certificate
//   ca/<name>                 trusted CA certificates installed by the user (+ .MD5)
//   phoneca/<name>            prefabricated trusted CA certificates
#pragma once

#include <cstdint>
#include <string>

// One certificate as the store reports it (260 bytes).
struct CertInfo {
    char IssuedTo[64];
    char IssuedBy[64];
    char Expiration[68];
    char path[64];
};
static_assert(sizeof(CertInfo) == 260, "the record layout is shared with the phone");

constexpr int kMaxTrustedCerts = 10;
struct CertInfoList {
    int32_t count;
    CertInfo certs[kMaxTrustedCerts];
};

// Options: 1 trusted root folder, 2 uploaded server certificate file (both
// text), 10 CN validation (pointer to int), 11 trusted CA set (folder text),
// 12 server certificate in use (file text). 0, or -1 for an unknown option
// or a null value.
int dl_set_option(int option, const void* value);
// The current value of an option as text ("" when unset).
std::string dl_get_option(int option);

// The uploaded server certificate: 0 when one is installed (record filled).
int dl_get_ser_ca_info(CertInfo* info);
// Installs a server certificate with its private key (one PEM file):
// 0 ok, -8 prefabricated, -7 already installed, -1 not a certificate with a
// matching private key or not stored.
int dl_install_ser_ca(const char* path);
// 0, or -1 when none is installed or it cannot be removed.
int dl_del_ser_ca();

// The user's trusted certificates, by file name: 0 with the list filled.
int dl_get_trust_ca_info(CertInfoList* list);
// Installs a CA certificate (PEM or DER): 0 ok, -1 prefabricated, -2 already
// installed, -3 not a certificate, -4 the list is full, -5 not stored.
int dl_install_ca(const char* path);
// Removes the trusted certificate named by the last part of path (a plain
// name of an installed certificate): 0 ok, -1 otherwise.
int dl_del_ca(const char* path);

// Whether a file (phone path) holds a certificate OpenSSL can read, PEM or DER.
bool certFileReadable(const char* path);
