// The certificate store over real certificates made here with OpenSSL.
#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <string>

#include "platform/certstore.h"
#include "tests/support/certs.h"
#include "tests/support/testroot.h"

namespace {

int InstallCa(const TestRoot& root, const std::string& content)
{
    root.write("/tmp/upload.cer", content);
    return dl_install_ca("/tmp/upload.cer");
}

int InstallServer(const TestRoot& root, const std::string& content)
{
    root.write("/tmp/upload.pem", content);
    return dl_install_ser_ca("/tmp/upload.pem");
}

TEST(CertStore, TrustedCertificatesAndTheirCodes)
{
    TestRoot root;
    TestCert ca("Demo Root CA"), other("Other CA"), prefab("Factory CA"), old("Old CA", -30);
    root.write("/config/certs/phoneca/factory.crt", prefab.pem());
    EXPECT_EQ(InstallCa(root, ca.pem()), 0);
    EXPECT_EQ(InstallCa(root, ca.der()), -2);  // the same certificate in DER
    EXPECT_EQ(InstallCa(root, other.der()), 0);
    EXPECT_EQ(InstallCa(root, prefab.pem()), -1);
    EXPECT_EQ(InstallCa(root, "not a certificate"), -3);
    EXPECT_EQ(InstallCa(root, other.der() + "junk"), -3);
    EXPECT_EQ(InstallCa(root, old.pem()), 0);  // expired, shown as such

    CertInfoList list;
    ASSERT_EQ(dl_get_trust_ca_info(&list), 0);
    ASSERT_EQ(list.count, 3);
    EXPECT_STREQ(list.certs[0].IssuedTo, "Demo Root CA");
    EXPECT_STREQ(list.certs[0].path, "/config/certs/ca/Demo_Root_CA.crt");
    EXPECT_STREQ(list.certs[1].IssuedTo, "Old CA");
    EXPECT_NE(std::string(list.certs[1].Expiration).find("GMT"), std::string::npos);
    EXPECT_TRUE(root.exists("/config/certs/ca/Demo_Root_CA.crt.MD5"));

    for (int i = 3; i < kMaxTrustedCerts; ++i)
        EXPECT_EQ(InstallCa(root, TestCert("CA " + std::to_string(i)).pem()), 0);
    EXPECT_EQ(InstallCa(root, TestCert("One too many").pem()), -4);
}

TEST(CertStore, ServerCertificateNeedsItsOwnKey)
{
    TestRoot root;
    TestCert mine("phone.example"), stranger("stranger"), factory("factory");
    root.write("/config/certs/phonedev/WebServer.pem", factory.pem() + factory.keyPem());
    CertInfo info;
    EXPECT_EQ(dl_get_ser_ca_info(&info), -1);
    EXPECT_EQ(InstallServer(root, mine.pem()), -1);                    // no key
    EXPECT_EQ(InstallServer(root, mine.pem() + stranger.keyPem()), -1);  // wrong key
    EXPECT_EQ(InstallServer(root, factory.pem() + factory.keyPem()), -8);
    EXPECT_EQ(InstallServer(root, mine.keyPem() + mine.pem()), 0);
    EXPECT_EQ(InstallServer(root, mine.pem() + mine.keyPem()), -7);
    ASSERT_EQ(dl_get_ser_ca_info(&info), 0);
    EXPECT_STREQ(info.IssuedTo, "phone.example");
    EXPECT_EQ(dl_del_ser_ca(), 0);
    EXPECT_EQ(dl_del_ser_ca(), -1);
    EXPECT_FALSE(root.exists("/config/certs/server/WebServer.pem.MD5"));
}

TEST(CertStore, DeleteTakesOnlyPlainNamesOfInstalledCertificates)
{
    TestRoot root;
    root.write("/config/data/htpasswd", "admin:x\n");
    root.write("/config/certs/ca/htpasswd.txt", "kept");
    TestCert ca("Keep Me");
    ASSERT_EQ(InstallCa(root, ca.pem()), 0);
    for (const char* path : {"/config/certs/../data/htpasswd", "../data/htpasswd",
                             "/config/certs/", "/config/certs/..", "/config/certs/.MD5"})
        EXPECT_EQ(dl_del_ca(path), -1) << path;
    EXPECT_TRUE(root.exists("/config/data/htpasswd"));
    EXPECT_EQ(dl_del_ca("/config/certs/Keep_Me.crt"), 0);
    EXPECT_FALSE(root.exists("/config/certs/ca/Keep_Me.crt"));
}

TEST(CertStore, LongNamesAreCutAtACharacterBoundary)
{
    TestRoot root;
    std::string name(62, 'a');
    name += "\xC3\xA4\xC3\xA4";  // two two-byte letters across the 63rd byte
    ASSERT_EQ(InstallCa(root, TestCert(name).pem()), 0);
    CertInfoList list;
    ASSERT_EQ(dl_get_trust_ca_info(&list), 0);
    EXPECT_EQ(std::string(list.certs[0].IssuedTo), std::string(62, 'a'));
}

}  // namespace
