#include "tests/support/certs.h"

#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

struct TestCert::Impl {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
};

namespace {

std::string Drain(BIO* bio)
{
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    std::string text(data, length);
    BIO_free(bio);
    return text;
}

}  // namespace

TestCert::TestCert(const std::string& commonName, int days) : impl_(new Impl)
{
    impl_->key = EVP_EC_gen("P-256");
    impl_->cert = X509_new();
    X509_set_version(impl_->cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(impl_->cert), 1);
    long seconds = static_cast<long>(days) * 86400;
    X509_gmtime_adj(X509_getm_notBefore(impl_->cert), days < 0 ? seconds * 2 : 0);
    X509_gmtime_adj(X509_getm_notAfter(impl_->cert), seconds);
    X509_NAME* name = X509_get_subject_name(impl_->cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1, 0);
    X509_set_issuer_name(impl_->cert, name);
    X509_set_pubkey(impl_->cert, impl_->key);
    X509_sign(impl_->cert, impl_->key, EVP_sha256());
}

TestCert::~TestCert()
{
    X509_free(impl_->cert);
    EVP_PKEY_free(impl_->key);
    delete impl_;
}

std::string TestCert::pem() const
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, impl_->cert);
    return Drain(bio);
}

std::string TestCert::der() const
{
    BIO* bio = BIO_new(BIO_s_mem());
    i2d_X509_bio(bio, impl_->cert);
    return Drain(bio);
}

std::string TestCert::keyPem() const
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, impl_->key, nullptr, nullptr, 0, nullptr, nullptr);
    return Drain(bio);
}
