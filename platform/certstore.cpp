#include "platform/certstore.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include "platform/fileutil.h"
#include "platform/paths.h"

namespace {

constexpr char kPrefabServer[] = "/config/certs/phonedev/WebServer.pem";
constexpr char kUserCaFolder[] = "/config/certs/ca";
constexpr char kPrefabCaFolder[] = "/config/certs/phoneca";
// Certificates are small; anything bigger is not one.
constexpr long long kMaxCertFile = 1 << 20;

struct Options {
    std::string trustedRoot = "/config/certs/";
    std::string serverFile = "/config/certs/server/WebServer.pem";
    int cnValidation = 0;
    std::string trustedSet = "/config/certs/";
    std::string serverInUse = "/config/certs/phonedev/WebServer.pem";
};

Options& options()
{
    static Options current;
    return current;
}

using X509Ptr = std::unique_ptr<X509, decltype(&X509_free)>;
using KeyPtr = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using BioPtr = std::unique_ptr<BIO, decltype(&BIO_free)>;

bool readSmallFile(const std::string& phone, std::string& out)
{
    std::string real = phonePath(phone);
    struct stat st;
    if (stat(real.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxCertFile)
        return false;
    return readWholeFile(real, out);
}

// The first certificate of PEM text, or of DER bytes.
X509Ptr parseCert(const std::string& data)
{
    BioPtr bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())), BIO_free);
    X509* cert = bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    if (!cert) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data());
        cert = d2i_X509(nullptr, &p, static_cast<long>(data.size()));
        // DER must be the whole file, not a certificate followed by junk.
        if (cert && p != reinterpret_cast<const unsigned char*>(data.data()) + data.size()) {
            X509_free(cert);
            cert = nullptr;
        }
    }
    return X509Ptr(cert, X509_free);
}

KeyPtr parseKey(const std::string& data)
{
    BioPtr bio(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())), BIO_free);
    EVP_PKEY* key = bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr;
    return KeyPtr(key, EVP_PKEY_free);
}

std::string fingerprint(X509* cert)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(cert, EVP_sha256(), digest, &length))
        return std::string();
    return std::string(reinterpret_cast<char*>(digest), length);
}

std::string md5Hex(const std::string& data)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(data.data(), data.size(), digest, &length, EVP_md5(), nullptr))
        return std::string();
    std::string hex;
    char piece[3];
    for (unsigned int i = 0; i < length; ++i) {
        snprintf(piece, sizeof piece, "%02x", digest[i]);
        hex += piece;
    }
    return hex;
}

// Copies text into a fixed field, cut at a character boundary of UTF-8.
void copyField(char* out, size_t size, const std::string& text)
{
    size_t n = std::min(text.size(), size - 1);
    while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    memcpy(out, text.data(), n);
    out[n] = '\0';
}

// The common name of a name, else the whole name on one line.
std::string nameText(X509_NAME* name)
{
    int index = X509_NAME_get_index_by_NID(name, NID_commonName, -1);
    if (index >= 0) {
        ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
        unsigned char* utf8 = nullptr;
        int length = ASN1_STRING_to_UTF8(&utf8, value);
        if (length >= 0) {
            std::string text(reinterpret_cast<char*>(utf8), length);
            OPENSSL_free(utf8);
            return text;
        }
    }
    char line[256];
    X509_NAME_oneline(name, line, sizeof line);
    return line;
}

void fillInfo(CertInfo* info, X509* cert, const std::string& path)
{
    memset(info, 0, sizeof *info);
    copyField(info->IssuedTo, sizeof info->IssuedTo, nameText(X509_get_subject_name(cert)));
    copyField(info->IssuedBy, sizeof info->IssuedBy, nameText(X509_get_issuer_name(cert)));
    BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
    if (bio && ASN1_TIME_print(bio.get(), X509_get0_notAfter(cert))) {
        char* text = nullptr;
        long length = BIO_get_mem_data(bio.get(), &text);
        copyField(info->Expiration, sizeof info->Expiration, std::string(text, length));
    }
    copyField(info->path, sizeof info->path, path);
}

std::vector<std::string> listFolder(const char* phoneFolder)
{
    std::vector<std::string> names;
    DIR* dir = opendir(phonePath(phoneFolder).c_str());
    if (!dir)
        return names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (!isPlainFileName(name.c_str()))
            continue;
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".MD5") == 0)
            continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

bool folderHolds(const char* phoneFolder, const std::string& print)
{
    for (const std::string& name : listFolder(phoneFolder)) {
        std::string data;
        if (!readSmallFile(std::string(phoneFolder) + "/" + name, data))
            continue;
        X509Ptr cert = parseCert(data);
        if (cert && fingerprint(cert.get()) == print)
            return true;
    }
    return false;
}

bool sameCertAs(const std::string& phoneFile, const std::string& print)
{
    std::string data;
    if (!readSmallFile(phoneFile, data))
        return false;
    X509Ptr cert = parseCert(data);
    return cert && fingerprint(cert.get()) == print;
}

// Stores data and its ".MD5" side file.
bool storeWithDigest(const std::string& phoneFile, const std::string& data, int mode)
{
    std::string real = phonePath(phoneFile);
    std::string folder = real.substr(0, real.rfind('/'));
    return makeDirs(folder) && writeFileAtomic(real, data, mode) &&
           writeFileAtomic(real + ".MD5", md5Hex(data) + "\n");
}

// A file name for a CA from its common name: letters, digits, '-', '_' and
// '.', then ".crt"; a number is added until the name is free.
std::string caFileName(X509* cert)
{
    std::string base;
    for (char c : nameText(X509_get_subject_name(cert))) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_' || c == '.';
        if (base.size() < 40 && (plain || c == ' '))
            base += plain ? c : '_';
    }
    while (!base.empty() && base[0] == '.')
        base.erase(0, 1);
    if (base.empty())
        base = "ca";
    std::string folder = phonePath(kUserCaFolder);
    std::string name = base + ".crt";
    for (int n = 2; access((folder + "/" + name).c_str(), F_OK) == 0; ++n)
        name = base + "-" + std::to_string(n) + ".crt";
    return name;
}

std::string toPem(X509* cert)
{
    BioPtr bio(BIO_new(BIO_s_mem()), BIO_free);
    if (!bio || !PEM_write_bio_X509(bio.get(), cert))
        return std::string();
    char* text = nullptr;
    long length = BIO_get_mem_data(bio.get(), &text);
    return std::string(text, length);
}

}  // namespace

int dl_set_option(int option, const void* value)
{
    if (!value)
        return -1;
    Options& current = options();
    const char* text = static_cast<const char*>(value);
    switch (option) {
    case 1: current.trustedRoot = text; return 0;
    case 2: current.serverFile = text; return 0;
    case 10: current.cnValidation = *static_cast<const int*>(value); return 0;
    case 11: current.trustedSet = text; return 0;
    case 12: current.serverInUse = text; return 0;
    default: return -1;
    }
}

std::string dl_get_option(int option)
{
    const Options& current = options();
    switch (option) {
    case 1: return current.trustedRoot;
    case 2: return current.serverFile;
    case 10: return std::to_string(current.cnValidation);
    case 11: return current.trustedSet;
    case 12: return current.serverInUse;
    default: return std::string();
    }
}

int dl_get_ser_ca_info(CertInfo* info)
{
    std::string data;
    if (!info || !readSmallFile(options().serverFile, data))
        return -1;
    X509Ptr cert = parseCert(data);
    if (!cert)
        return -1;
    fillInfo(info, cert.get(), options().serverFile);
    return 0;
}

int dl_install_ser_ca(const char* path)
{
    std::string data;
    if (!path || !readSmallFile(path, data))
        return -1;
    X509Ptr cert = parseCert(data);
    KeyPtr key = parseKey(data);
    // A certificate without its key could never be presented.
    if (!cert || !key || X509_check_private_key(cert.get(), key.get()) != 1)
        return -1;
    std::string print = fingerprint(cert.get());
    if (sameCertAs(kPrefabServer, print))
        return -8;
    if (sameCertAs(options().serverFile, print))
        return -7;
    return storeWithDigest(options().serverFile, data, 0600) ? 0 : -1;
}

int dl_del_ser_ca()
{
    std::string real = phonePath(options().serverFile);
    if (unlink(real.c_str()) != 0)
        return -1;
    unlink((real + ".MD5").c_str());
    return 0;
}

int dl_get_trust_ca_info(CertInfoList* list)
{
    if (!list)
        return -1;
    memset(list, 0, sizeof *list);
    for (const std::string& name : listFolder(kUserCaFolder)) {
        if (list->count >= kMaxTrustedCerts)
            break;
        std::string file = std::string(kUserCaFolder) + "/" + name;
        std::string data;
        X509Ptr cert(nullptr, X509_free);
        if (readSmallFile(file, data))
            cert = parseCert(data);
        if (cert)
            fillInfo(&list->certs[list->count++], cert.get(), file);
    }
    return 0;
}

int dl_install_ca(const char* path)
{
    std::string data;
    if (!path || !readSmallFile(path, data))
        return -3;
    X509Ptr cert = parseCert(data);
    if (!cert)
        return -3;
    std::string print = fingerprint(cert.get());
    if (folderHolds(kPrefabCaFolder, print))
        return -1;
    if (folderHolds(kUserCaFolder, print))
        return -2;
    CertInfoList list;
    dl_get_trust_ca_info(&list);
    if (list.count >= kMaxTrustedCerts)
        return -4;
    if (!makeDirs(phonePath(kUserCaFolder)))
        return -5;
    std::string file = std::string(kUserCaFolder) + "/" + caFileName(cert.get());
    return storeWithDigest(file, toPem(cert.get()), 0644) ? 0 : -5;
}

int dl_del_ca(const char* path)
{
    if (!path)
        return -1;
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    if (!isPlainFileName(name))
        return -1;
    std::string real = phonePath(std::string(kUserCaFolder) + "/" + name);
    if (unlink(real.c_str()) != 0)
        return -1;
    unlink((real + ".MD5").c_str());
    return 0;
}

bool certFileReadable(const char* path)
{
    std::string data;
    return path && readSmallFile(path, data) && parseCert(data) != nullptr;
}
