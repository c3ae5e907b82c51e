// The firmware upgrade over HTTP in the browser's order, through the phone's
// restart: a 64 MiB image streamed in, the new version after the restart; a
// corrupt one leaves the old version and restarts all the same.
#include "platform/fwimage.h"
#include "tests/integration/harness.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr uint64_t kPayload = 64ull << 20;
const std::string kHead = "--FwB\r\nContent-Disposition: form-data; name=\"firmware\"; filename=\"a.rom\"\r\n"
                          "Content-Type: application/octet-stream\r\n\r\n";
const std::string kTail = "\r\n--FwB--\r\n";

// The payload repeats one block, so that it is made and digested quickly.
std::string Block()
{
    std::string block(1 << 16, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((i * 2654435761u) >> 13);
    return block;
}

class UpgradeOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
    {
        Stack::Options options;
        options.testPages = false;
        return options;
    }
    void TearDown() override
    {
        if (HasFailure())
            fprintf(stderr, "---- server log ----\n%s\n", stack.serverLog().c_str());
    }
    void logIn()
    {
        http.clearCookies();
        http.postForm("/servlet?p=login&q=login", "username=admin&pwd=admin&jumpto=status");
    }
    std::string firmwareShown()
    {
        std::string page = http.get("/servlet?p=status&q=load").body;
        size_t at = page.find("<td id=\"firmware\">");
        return at == std::string::npos ? "" : page.substr(at + 18, page.find('<', at + 18) - at - 18);
    }
    // Streams the multipart body of an image whose payload byte `corrupt`
    // differs from what its header's digest says (none when past the end).
    HttpAnswer upload(const std::string& version, uint64_t corrupt)
    {
        static const std::string block = Block();
        unsigned char digest[32];
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
        for (uint64_t at = 0; at < kPayload; at += block.size())
            EVP_DigestUpdate(context, block.data(), block.size());
        EVP_DigestFinal_ex(context, digest, nullptr);
        EVP_MD_CTX_free(context);
        const std::string body = kHead + BuildFirmwareHeader(version, kPayload, digest);
        const uint64_t total = body.size() + kPayload + kTail.size();
        uint64_t sent = 0;
        return http.postStream(
            "/servlet?p=settings-upgrade&q=upgrade", "multipart/form-data; boundary=FwB", total,
            [&](char* out, size_t n) {
                size_t count = 0;
                while (count < n && sent < total) {
                    uint64_t image = sent - body.size();  // position in the payload
                    const char* from = sent < body.size() ? &body[sent]
                                       : image < kPayload ? &block[image % block.size()]
                                                          : &kTail[image - kPayload];
                    uint64_t left = sent < body.size() ? body.size() - sent
                                    : image < kPayload ? block.size() - image % block.size()
                                                       : total - sent;
                    size_t piece = static_cast<size_t>(std::min<uint64_t>(left, n - count));
                    memcpy(out + count, from, piece);
                    if (sent >= body.size() && image < kPayload && corrupt >= image && corrupt < image + piece)
                        out[count + (corrupt - image)] ^= 1;
                    count += piece;
                    sent += piece;
                }
                return count;
            });
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

}  // namespace

TEST_F(UpgradeOverHttp, StreamedImageIsInstalledAfterTheRestart)
{
    logIn();
    EXPECT_EQ(http.get("/servlet?p=settings-upgrade&q=ask").body, "true");
    EXPECT_EQ(http.postForm("/servlet?p=settings-upgrade&q=beforeupgrade", "").status, 200);
    HttpAnswer answer = upload("5.0.0.1", kPayload);
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "");
    EXPECT_EQ(http.get("/servlet?p=settings-upgrade&q=progress").body, "<p>done</p>");
    ASSERT_TRUE(stack.waitForRestart(30000));
    EXPECT_EQ(http.get("/servlet?p=status&q=load").status, 302) << "the session outlived the restart";
    logIn();
    EXPECT_EQ(firmwareShown(), "5.0.0.1");
}

TEST_F(UpgradeOverHttp, CorruptImageKeepsTheFirmwareAndRestarts)
{
    logIn();
    const std::string before = firmwareShown();
    stack.root().write("/tmp/log/messages", "what happened");
    HttpAnswer answer = upload("6.6.6", kPayload / 2);
    EXPECT_EQ(answer.body.rfind("Error:", 0), 0u) << answer.body;
    ASSERT_TRUE(stack.waitForRestart(40000));
    logIn();
    EXPECT_EQ(firmwareShown(), before);
    EXPECT_EQ(stack.root().read("/config/data/log/messages"), "what happened");
}
