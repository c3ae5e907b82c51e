// Configuration backup and restore, and the capture download, over HTTP
// with phonesim playing the phone.
#include <gtest/gtest.h>

#include <archive.h>
#include <archive_entry.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/harness.h"

namespace fs = std::filesystem;

namespace {

typedef std::map<std::string, std::string> Files;

// Entries of a tar held in memory: name -> content ("/" ends a folder's name).
Files TarEntries(const std::string& bytes)
{
    Files files;
    archive* a = archive_read_new();
    archive_read_support_format_tar(a);
    if (archive_read_open_memory(a, bytes.data(), bytes.size()) == ARCHIVE_OK) {
        archive_entry* entry;
        while (archive_read_next_header(a, &entry) == ARCHIVE_OK) {
            std::string content(static_cast<size_t>(archive_entry_size(entry)), '\0');
            if (!content.empty())
                archive_read_data(a, &content[0], content.size());
            files[archive_entry_pathname(entry)] = content;
        }
    }
    archive_read_free(a);
    return files;
}

// A tar of (name, content, type) entries, as a hostile client makes one.
std::string MakeTar(const std::vector<std::pair<std::string, mode_t>>& entries)
{
    std::vector<char> out(64 * 1024);
    size_t used = 0;
    archive* a = archive_write_new();
    archive_write_set_format_pax_restricted(a);
    archive_write_open_memory(a, out.data(), out.size(), &used);
    for (const auto& e : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, e.first.c_str());
        archive_entry_set_filetype(entry, e.second);
        archive_entry_set_perm(entry, 0644);
        if (e.second == AE_IFLNK)
            archive_entry_set_symlink(entry, "/config/system/config.cfg");
        archive_entry_set_size(entry, e.second == AE_IFREG ? 8 : 0);
        archive_write_header(a, entry);
        if (e.second == AE_IFREG)
            archive_write_data(a, "evil=1\n\n", 8);
        archive_entry_free(entry);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(out.data(), used);
}

// Every file below a real folder with its content.
Files TreeOf(const std::string& realDir)
{
    Files files;
    for (const auto& entry : fs::recursive_directory_iterator(realDir)) {
        if (entry.is_regular_file() && entry.path().extension() != ".lock") {
            std::string content;
            std::ifstream in(entry.path(), std::ios::binary);
            content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
            files[entry.path().string()] = content;
        }
    }
    return files;
}

class MaintenanceOverHttp : public ::testing::Test {
protected:
    static Stack::Options RealPages()
    {
        Stack::Options options;
        options.testPages = false;
        return options;
    }

    void SetUp() override { login("admin"); }

    void login(const std::string& password)
    {
        http.postForm("/servlet?p=login&q=login", "username=admin&pwd=" + password + "&jumpto=status");
    }

    HttpAnswer exportConfig(bool clear)
    {
        return http.postForm("/servlet?p=settings-config&q=export",
                             std::string("exportForm=1") + (clear ? "&ExportCFGClearPWD=1" : ""));
    }

    HttpAnswer import(const std::string& archive)
    {
        return http.postMultipart("/servlet?p=settings-config&q=import",
                                  {{"ConfigFileName", archive, "config.bin"}});
    }

    // phonesim logs a post when it gets to it: look for a while.
    bool busLogHas(const std::string& text, int waitMs = 5000)
    {
        for (int waited = 0;; waited += 50) {
            for (const std::string& line : stack.busLog())
                if (line.find(text) != std::string::npos)
                    return true;
            if (waited >= waitMs)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    std::string store(const char* field, const char* value)
    {
        std::string stored = stack.root().read("/config/system/config.cfg");
        stack.root().write("/config/system/config.cfg", stored + field + "=" + value + "\n");
        return stored;
    }

    Stack stack{RealPages()};
    HttpClient http = stack.client();
};

TEST_F(MaintenanceOverHttp, AnImportBringsBackEverySettingAndTheWebPassword)
{
    store("AccountLabel.0", "Front desk");
    store("SyslogServerName", "log.example.com");
    HttpAnswer exported = exportConfig(false);
    ASSERT_EQ(exported.status, 200);
    EXPECT_EQ(exported.header("Content-disposition"), "attachment; filename=config.bin");
    Files entries = TarEntries(exported.body);
    EXPECT_EQ(entries.count("factory/system/config.cfg"), 1u);
    EXPECT_EQ(entries.count("factory/data/htpasswd"), 1u);
    EXPECT_EQ(entries.count("factory/certs/"), 0u);
    Files before = TreeOf(stack.root().real("/config"));

    store("AccountLabel.0", "Changed");
    stack.root().write("/config/data/extra.xml", "<kept/>");
    http.postForm("/servlet?p=security&q=write",
                  "mode=admin&editOldPassword=admin&editNewPassword=other");
    ASSERT_NE(stack.root().read("/config/data/htpasswd"), entries["factory/data/htpasswd"]);

    HttpAnswer answer = import(exported.body);
    EXPECT_NE(answer.body.find("setInterval$settings-config$Configuration updating ..."), std::string::npos);
    Files after = TreeOf(stack.root().real("/config"));
    after.erase(stack.root().real("/config/data/extra.xml"));
    EXPECT_EQ(after, before);
    EXPECT_EQ(stack.root().read("/config/data/extra.xml"), "<kept/>");
    EXPECT_TRUE(busLogHas("{\"to\":\"app_vpPhone\",\"id\":65551,"));
    EXPECT_TRUE(busLogHas("{\"to\":\"app_vpPhone\",\"id\":65793,\"wparam\":0,"));
    http.clearCookies();
    login("admin");
    EXPECT_EQ(http.get("/servlet?p=settings-config&q=load").status, 200);
    EXPECT_EQ(http.get("/servlet?p=settings-config&q=load").body.find("loginForm"), std::string::npos);
}

TEST_F(MaintenanceOverHttp, AHostileArchiveChangesNothing)
{
    const std::pair<std::string, mode_t> ok{"factory/system/config.cfg", AE_IFREG};
    const std::vector<std::vector<std::pair<std::string, mode_t>>> archives = {
        {ok, {"factory/../../../config/data/htpasswd", AE_IFREG}},
        {ok, {"factory/data/htpasswd", AE_IFLNK}},
        {{"/config/system/config.cfg", AE_IFREG}},
        {ok, {"factory/data/zero", AE_IFCHR}},
        {{"other/system/config.cfg", AE_IFREG}},
    };
    Files before = TreeOf(stack.root().real("/config"));
    for (const auto& entries : archives) {
        HttpAnswer answer = import(MakeTar(entries));
        EXPECT_NE(answer.body.find("Error:Import config error!"), std::string::npos) << entries.back().first;
        EXPECT_EQ(TreeOf(stack.root().real("/config")), before) << entries.back().first;
    }
    EXPECT_FALSE(busLogHas("\"id\":65793,", 500));
    EXPECT_FALSE(stack.root().exists("/tmp/importfile.tar"));
}

TEST_F(MaintenanceOverHttp, AnExportWithoutPasswordsHoldsNone)
{
    store("AccountPassword.0", "TopSecret1");
    store("AutoProvisionPassword", "TopSecret2");
    HttpAnswer exported = exportConfig(true);
    for (const auto& entry : TarEntries(exported.body)) {
        EXPECT_EQ(entry.second.find("TopSecret"), std::string::npos) << entry.first;
        EXPECT_EQ(entry.first.find("htpasswd"), std::string::npos);
    }
    EXPECT_NE(stack.root().read("/config/system/config.cfg").find("AccountPassword.0=TopSecret1"),
              std::string::npos);
}

TEST_F(MaintenanceOverHttp, TheCaptureDownloadIsAValidPcap)
{
    EXPECT_EQ(http.postForm("/servlet?p=settings-config&q=startcapture", "").status, 302);
    EXPECT_NE(http.get("/servlet?p=settings-config&q=load").body.find("Capturing"), std::string::npos);
    HttpAnswer capture = http.get("/servlet?p=settings-config&q=exportcapture");
    EXPECT_EQ(capture.header("Content-Type"), "application/octet-stream");
    const std::string& pcap = capture.body;
    ASSERT_GE(pcap.size(), 24u);
    EXPECT_EQ(pcap.substr(0, 4), std::string("\xd4\xc3\xb2\xa1", 4));
    // Every record's lengths lead exactly to the end of the file.
    size_t at = 24;
    int records = 0;
    auto le32 = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(pcap[i])) |
               static_cast<uint32_t>(static_cast<unsigned char>(pcap[i + 1])) << 8 |
               static_cast<uint32_t>(static_cast<unsigned char>(pcap[i + 2])) << 16 |
               static_cast<uint32_t>(static_cast<unsigned char>(pcap[i + 3])) << 24;
    };
    while (at + 16 <= pcap.size() && le32(at + 8) == le32(at + 12) && le32(at + 8) > 14) {
        at += 16 + le32(at + 8);
        ++records;
    }
    EXPECT_EQ(at, pcap.size());
    EXPECT_GT(records, 0);
}

}  // namespace
