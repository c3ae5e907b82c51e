// The network and certificate pages through the in-memory host objects.
#include <gtest/gtest.h>

#include <archive_entry.h>

#include <string>
#include <utility>
#include <vector>

#include "pages/network/NetworkAdvServlet.h"
#include "pages/network/NetworkServlet.h"
#include "pages/network/ServerCertServlet.h"
#include "pages/network/TrustedCertServlet.h"
#include "platform/certstore.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "tests/support/archives.h"
#include "tests/support/buspeer.h"
#include "tests/support/certs.h"
#include "tests/support/fakes.h"
#include "tests/support/testroot.h"

namespace {

class NetworkPages : public ::testing::Test {
protected:
    void SetUp() override
    {
        phone.reply(kMsgAskTalking, 1);
        root.write("/config/openvpn/vpn.cnf", "old");
    }
    // Posts an upload of `content` to page/action.
    template <typename Page>
    void Upload(Page& page, const std::string& url, const std::string& field,
                const std::string& content, FakeResponse& response,
                std::vector<std::pair<std::string, std::string>> extra = {})
    {
        root.write("/tmp/upload_1", content);
        FakeRequest request(url);
        request.login("admin").setUpload(field, "/tmp/upload_1", "file.bin");
        request.setContentLength(static_cast<long>(content.size()) + 200);
        for (const auto& field : extra)
            request.setParam(field.first, field.second);
        page.onRequest(&request, &response);
    }

    TestRoot root;
    BusPeer phone{{"app_vpPhone"}};
};

TEST_F(NetworkPages, PppoeKeepsTheStoredPinAndTurnsVlanOff)
{
    configParser_SetConfigString("NetworkPppoePin", "secret");
    configParser_SetConfigString("VlanWanSwitch", "1");
    NetworkServlet page;
    FakeRequest request("/servlet?p=network&q=write");
    request.login("admin").setPost({{"ipv4type", "1"}, {"NetworkPppoePin", "********"},
                                    {"NetworkPppoeUser", "bob\"x"}});
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(configParser_GetConfigString("NetworkPppoePin"), "secret");
    EXPECT_EQ(configParser_GetConfigString("NetworkWanType"), "1");
    for (const char* name : {"VlanWanSwitch", "VlanPcSwitch", "VlanDhcpSwitch"})
        EXPECT_EQ(configParser_GetConfigString(name), "0") << name;
    // Without "reboot" the page comes again, saved, and nobody is told.
    EXPECT_EQ(response.redirect, "/servlet?p=network&q=load");
    FakeRequest load("/servlet?p=network&q=load");
    load.session().attributes = request.session().attributes;
    FakeResponse loaded;
    page.onRequest(&load, &loaded);
    EXPECT_EQ(loaded.var("saved"), "1");
    EXPECT_EQ(loaded.var("NetworkPppoePin"), "********");
    EXPECT_EQ(loaded.var("NetworkPppoeUser"), "bob&quot;x");
    EXPECT_FALSE(phone.waitForCount(2, 200));
}

TEST_F(NetworkPages, RebootBroadcastsTheNetworkChange)
{
    NetworkAdvServlet page;
    FakeRequest request("/servlet?p=network-adv&q=write");
    request.login("admin").setPost({{"VlanWanVid", "12"}, {"reboot", "true"},
                                    {"Network802_1XMD5Passwd", "********"}});
    FakeResponse response;
    page.onRequest(&request, &response);
    EXPECT_EQ(configParser_GetConfigString("VlanWanVid"), "12");
    EXPECT_EQ(response.var("noticeLabel"), "setInterval$network-adv$Rebooting , please wait ...");
    ASSERT_TRUE(phone.waitForCount(2));
    BusMessage message = phone.messages()[1];
    EXPECT_EQ(std::make_pair(message.id, message.wparam), std::make_pair(kMsgConfigChanged, 9u));
}

TEST_F(NetworkPages, VpnArchiveReplacesTheOldOneOnlyWhenSound)
{
    NetworkAdvServlet page;
    const struct {
        const char* what;
        std::vector<TarEntry> entries;
        bool accepted;
    } cases[] = {
        {"parent", {{"../escape.cnf", "x", AE_IFREG}}, false},
        {"absolute", {{"/tmp/abs.cnf", "x", AE_IFREG}}, false},
        {"link", {{"vpn.cnf", "/config/data/htpasswd", AE_IFLNK}}, false},
        {"inner parent", {{"keys/../../x", "x", AE_IFREG}}, false},
        {"good", {{"keys/", "", AE_IFDIR}, {"keys/ca.crt", "c", AE_IFREG}, {"vpn.cnf", "new", AE_IFREG}}, true},
    };
    for (const auto& c : cases) {
        FakeResponse response;
        Upload(page, "/servlet?p=network-adv&q=upload", "pemFile", Tar(c.entries), response);
        EXPECT_EQ(response.var("result"), c.accepted ? "success" : "") << c.what;
        EXPECT_EQ(root.read("/config/openvpn/vpn.cnf"), c.accepted ? "new" : "old") << c.what;
        EXPECT_FALSE(root.exists("/escape.cnf") || root.exists("/config/escape.cnf") ||
                     root.exists("/tmp/abs.cnf") || root.exists("/config/x"))
            << c.what;
    }
    FakeResponse garbage;
    Upload(page, "/servlet?p=network-adv&q=upload", "pemFile", "not a tar", garbage);
    EXPECT_EQ(root.read("/config/openvpn/keys/ca.crt"), "c");

    FakeResponse noConfig;
    Upload(page, "/servlet?p=network-adv&q=upload", "pemFile", Tar({{"readme", "x", AE_IFREG}}),
           noConfig);
    FakeRequest load("/servlet?p=network-adv&q=load");
    FakeResponse loaded;
    page.onRequest(&load.login("admin"), &loaded);
    EXPECT_EQ(loaded.var("VPNEnable"), "false");
}

TEST_F(NetworkPages, Dot1xTakesOnlyCertificates)
{
    NetworkAdvServlet page;
    TestCert ca("802.1X CA");
    const struct {
        const char* type;
        std::string content;
        bool accepted;
    } cases[] = {
        {"ca", "garbage", false}, {"ca", ca.pem(), true}, {"client", ca.der(), true},
        {"other", ca.pem(), false}, {"ca", "garbage again", false},
    };
    for (const auto& c : cases) {
        FakeResponse response;
        Upload(page, "/servlet?p=network-adv&q=uploadCaFile", "pemFile", c.content, response,
               {{"type", c.type}});
        EXPECT_EQ(response.var("result"), c.accepted ? "success" : "") << c.type;
    }
    EXPECT_EQ(root.read("/config/dot1x/ca.pem"), ca.pem());
    EXPECT_EQ(root.read("/config/dot1x/client.pem"), ca.der());
}

TEST_F(NetworkPages, UploadSizeLimit)
{
    TrustedCertServlet page;
    TestCert ca("Size CA");
    for (long length : {0x500000L - 1, 0x500000L}) {
        root.write("/tmp/upload_1", ca.pem());
        FakeRequest request("/servlet?p=trusted-cert&q=upload");
        request.login("admin").setUpload("certificatefile", "/tmp/upload_1", "ca.pem");
        request.setContentLength(length);
        FakeResponse response;
        page.onRequest(&request, &response);
        bool accepted = length < 0x500000L;
        EXPECT_EQ(response.redirect, accepted ? "/servlet?p=trusted-cert&q=load" : "") << length;
        EXPECT_EQ(response.var("noticeLabel"),
                  accepted ? "" : "setTimeout$trusted-cert$The file is too large!");
        dl_del_ca("/config/certs/Size_CA.crt");
    }
}

TEST_F(NetworkPages, TrustedListHasTenRowsAndDeletesByPlainName)
{
    TrustedCertServlet page;
    page.init();
    for (const char* name : {"A", "B", "C"}) {
        root.write("/tmp/x.cer", TestCert(name).pem());
        ASSERT_EQ(dl_install_ca("/tmp/x.cer"), 0);
    }
    root.write("/config/data/htpasswd", "admin:x\n");
    FakeRequest del("/servlet?p=trusted-cert&q=delete");
    del.login("admin").setPost({{"z", "A.crt,../../data/htpasswd,B.crt"}});
    FakeResponse deleted;
    page.onRequest(&del, &deleted);
    EXPECT_TRUE(root.exists("/config/data/htpasswd"));
    EXPECT_EQ(deleted.redirect, "/servlet?p=trusted-cert&q=load");

    FakeRequest load("/servlet?p=trusted-cert&q=load");
    FakeResponse response;
    page.onRequest(&load.login("admin"), &response);
    ASSERT_EQ(response.loopSize("TRLoop"), 10);
    EXPECT_EQ(response.loopVar("TRLoop", 0, "IssuedTo"), "B");  // "B.crt" was after the last ","
    EXPECT_EQ(response.loopVar("TRLoop", 1, "FilePath"), "C.crt");
    EXPECT_EQ(response.loopVar("TRLoop", 2, "IssuedTo"), "");
    EXPECT_EQ(response.loopColumn("TRLoop", "setColor")[0], "1");
    EXPECT_EQ(response.loopColumn("TRLoop", "setColor")[1], "0");
}

TEST_F(NetworkPages, TrustOptionsFollowTheConfiguration)
{
    TrustedCertServlet page;
    const struct {
        const char* value;
        const char* set;
    } cases[] = {{"0", "/config/certs/phoneca"}, {"3", "/config/certs/phoneca"},
                 {"2", "/config/certs/ca"}, {"1", "/config/certs/"}};
    for (const auto& c : cases) {
        FakeRequest request("/servlet?p=trusted-cert&q=write");
        request.login("admin").setPost({{"HttpsCaCert", c.value}, {"HttpsCNValidation", "1"}});
        FakeResponse response;
        page.onRequest(&request, &response);
        EXPECT_EQ(dl_get_option(11), c.set) << c.value;
    }
    EXPECT_EQ(dl_get_option(10), "1");
}

TEST_F(NetworkPages, ServerCertificateCodesBecomeNotices)
{
    ServerCertServlet page;
    page.init();
    TestCert mine("phone"), factory("factory");
    root.write("/config/certs/phonedev/WebServer.pem", factory.pem() + factory.keyPem());
    const struct {
        std::string content;
        const char* notice;
    } cases[] = {
        {mine.pem(), "Install server certs error!"},
        {factory.pem() + factory.keyPem(), "The cert file has prefabricated!"},
        {mine.pem() + mine.keyPem(), ""},
        {mine.pem() + mine.keyPem(), "The cert file has existed!"},
    };
    for (const auto& c : cases) {
        FakeResponse response;
        Upload(page, "/servlet?p=server-cert&q=upload", "certificatefile", c.content, response);
        EXPECT_EQ(response.var("noticeLabel"),
                  *c.notice ? std::string("setTimeout$server-cert$") + c.notice : "");
    }
    FakeRequest load("/servlet?p=server-cert&q=load");
    FakeResponse response;
    page.onRequest(&load.login("admin"), &response);
    EXPECT_EQ(response.loopVar("TRLoop", 0, "IssuedTo"), "phone");
}

}  // namespace

namespace {

TEST_F(NetworkPages, UserIdentityAndRefusedValuesChangeNothing)
{
    configParser_SetConfigString("trusted-cert", "3");
    TrustedCertServlet certs;
    root.write("/tmp/upload_1", TestCert("Sneaky CA").pem());
    FakeRequest upload("/servlet?p=trusted-cert&q=upload");
    upload.login("user").setUpload("certificatefile", "/tmp/upload_1", "ca.pem");
    FakeResponse refused;
    certs.onRequest(&upload, &refused);
    EXPECT_EQ(refused.status, 403);
    CertInfoList list;
    dl_get_trust_ca_info(&list);
    EXPECT_EQ(list.count, 0);

    NetworkAdvServlet adv;
    configParser_SetConfigString("VlanWanVid", "7");
    FakeRequest write("/servlet?p=network-adv&q=write&VlanWanVid=5000&VlanPcVid=9");
    FakeResponse reshown;
    adv.onRequest(&write.login("admin"), &reshown);
    EXPECT_EQ(reshown.status, 400);
    EXPECT_EQ(reshown.var("VlanWanVid"), "5000");  // what was typed comes back
    EXPECT_EQ(configParser_GetConfigString("VlanWanVid"), "7");
    EXPECT_NE(configParser_GetConfigString("VlanPcVid"), "9");  // nothing of a refused form
}

}  // namespace
