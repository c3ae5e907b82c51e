// The network and certificate pages over HTTP and TLS, with phonesim.
#include <gtest/gtest.h>

#include <archive_entry.h>
#include <curl/curl.h>

#include <chrono>
#include <string>
#include <thread>

#include "tests/integration/harness.h"
#include "tests/support/archives.h"
#include "tests/support/certs.h"

namespace {

// The subject of the certificate the HTTPS port presents ("" when none).
std::string PresentedSubject(int port)
{
    CURL* curl = curl_easy_init();
    std::string url = "https://127.0.0.1:" + std::to_string(port) + "/";
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_CERTINFO, 1L);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    std::string subject;
    curl_certinfo* info = nullptr;
    if (curl_easy_perform(curl) == CURLE_OK &&
        curl_easy_getinfo(curl, CURLINFO_CERTINFO, &info) == CURLE_OK && info &&
        info->num_of_certs > 0) {
        for (curl_slist* item = info->certinfo[0]; item; item = item->next) {
            std::string line = item->data;
            if (line.compare(0, 8, "Subject:") == 0)
                subject = line.substr(8);
        }
    }
    curl_easy_cleanup(curl);
    return subject;
}

class NetworkOverHttp : public PhoneStackTest {
protected:
    NetworkOverHttp() : PhoneStackTest(Options()) {}
    static Stack::Options Options()
    {
        Stack::Options options = realPages([](TestRoot& root) { root.write("/config/openvpn/vpn.cnf", "old"); });
        options.https = true;
        return options;
    }

    bool busLogHas(const std::string& text)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            for (const std::string& line : stack.busLog())
                if (line.find(text) != std::string::npos)
                    return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

TEST_F(NetworkOverHttp, SaveRebootUploadAndRefusedArchive)
{
    login();
    HttpAnswer saved = http.postForm("/servlet?p=network-adv&q=write", "VlanWanVid=42&reboot=true");
    EXPECT_NE(saved.body.find("Rebooting , please wait ..."), std::string::npos);
    EXPECT_TRUE(busLogHas("\"id\":65543,\"wparam\":9,\"lparam\":0,\"kind\":\"broadcast\""));
    EXPECT_NE(http.get("/servlet?p=network-adv&q=load").body.find("value=\"42\""), std::string::npos);

    TestCert ca("Lab Root <CA>");
    http.postMultipart("/servlet?p=trusted-cert&q=upload", {{"certificatefile", ca.pem(), "lab.pem"}});
    EXPECT_NE(http.get("/servlet?p=trusted-cert&q=load").body.find("Lab Root &lt;CA&gt;"),
              std::string::npos);

    // A VPN archive naming "../x" changes nothing.
    std::string tar = Tar({{"../x", "x", AE_IFREG}});
    HttpAnswer refused = http.postMultipart("/servlet?p=network-adv&q=upload", {{"pemFile", tar, "vpn.tar"}});
    EXPECT_NE(refused.body.find("Upload failed"), std::string::npos);
    EXPECT_EQ(stack.root().read("/config/openvpn/vpn.cnf"), "old");
    EXPECT_FALSE(stack.root().exists("/config/x"));
}

TEST_F(NetworkOverHttp, HttpsPresentsTheCertificateInUse)
{
    EXPECT_NE(PresentedSubject(stack.httpsPort()).find("CN = IP Phone"), std::string::npos);
    login();
    TestCert mine("uploaded.phone");
    http.postMultipart("/servlet?p=server-cert&q=upload",
                       {{"certificatefile", mine.pem() + mine.keyPem(), "web.pem"}});
    http.postForm("/servlet?p=server-cert&q=write", "HttpsDevCert=1");
    stack.restart();
    EXPECT_NE(PresentedSubject(stack.httpsPort()).find("CN = uploaded.phone"), std::string::npos)
        << stack.serverLog();
}

}  // namespace
