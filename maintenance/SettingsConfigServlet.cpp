#include "maintenance/SettingsConfigServlet.h"

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "frame/fieldrules.h"
#include "frame/frame.h"
#include "maintenance/ConfigArchive.h"
#include "platform/archive.h"
#include "platform/etl.h"
#include "platform/fileutil.h"
#include "platform/msgids.h"
#include "platform/password.h"
#include "platform/registry.h"
#include "remote/filereply.h"

extern char** environ;

namespace {

constexpr char kPage[] = "settings-config";
constexpr char kTemplate[] = "settings-config.htm";
constexpr char kLoadUrl[] = "/servlet?p=settings-config&q=load";

constexpr char kConfigDir[] = "/config";
constexpr char kFactoryDir[] = "/phone/factory";
constexpr char kCustomFactory[] = "/data/customfactory";
constexpr char kStaging[] = "/tmp/factory";
constexpr char kOldStaging[] = "/tmp/phone";
constexpr char kExportFile[] = "/tmp/config.bin";
constexpr char kImportFile[] = "/tmp/importfile.tar";
constexpr char kFactoryUpload[] = "/tmp/config.tar";
constexpr char kUploadPattern[] = "/tmp/fileupload_XXXXXX";
constexpr char kMacFile[] = "/tmp/mac.tmp";
constexpr char kSyslogFile[] = "/tmp/syslog.tar";
constexpr char kSettingFile[] = "/corvane/config/Setting/Setting.cfg";
constexpr char kAccountNumFile[] = "/corvane/factory/voip/AccountNum.cfg";
constexpr char kInitSave[] = "/tmp/InitSave";
constexpr char kLockName[] = "WRLockiniFileName";

constexpr char kImportError[] = "Error:Import config error!";
constexpr char kUpdating[] = "Configuration updating ...";
constexpr char kFactoryOk[] = "Success:Import your factory config OK!";
constexpr char kDeleteOk[] = "Success:Delete user factory config OK!";
constexpr char kNoFactory[] = "Error:User factory config doesn't exist!";
constexpr char kNoMac[] = "000000000000";
// More clip files than this are not a capture anybody downloads at once.
constexpr int kMaxClips = 64;
constexpr int kPhoneWaitMs = 3000;
constexpr size_t kPcapHeader = 24;

const char* const kFields[] = {"SyslogServerName", "ServerLogLevel", "FactoryConfigCustomEnabled",
                               "SysLogLevel", "ExportCFGClearPWD"};
const char* const kSyslogFields[] = {"SyslogServerName", "ServerLogLevel"};
const char* const kMenuNames[] = {
    "settings-config", "settings-preference", "settings-datetime", "settings-upgrade",
    "settings-autop",  "settings-dialplan",   "settings-voice",    "settings-ring",
    "settings-tones",  "settings-softkey",    "settings-tr069"};
const char* const kItems[] = {"PhoneOptConfigfile", "PhoneOptFactoryConfigfile", "PhonePcapTrace",
                              "PhoneSyslog", "PhoneSystemlogLevel"};

bool Exists(const char* phone)
{
    return access(phonePath(phone).c_str(), F_OK) == 0;
}

// The first upload of a field, moved to its fixed place; false (with the
// upload removed) when there is none or it cannot be moved.
bool TakeUpload(HttpRequest* request, const char* field, const char* target)
{
    request->setUploadFileTemplate(kUploadPattern);
    const char** values = request->getParameterValues(field);
    if (!values || !values[0])
        return false;
    // The body holds the archive and a little form text around it.
    if (static_cast<long long>(request->getContentLength()) > ConfigArchive::kMaxArchiveBytes + 65536) {
        unlink(phonePath(values[0]).c_str());
        return false;
    }
    if (RenameUploadFile(values[0], target))
        return true;
    unlink(phonePath(values[0]).c_str());
    return false;
}

// Checks the archive and unpacks it into the staging folder without its top
// folder. The archive's own "htpasswd" beside the top goes into "data/" too,
// where the password file lives. False when refused (reason logged).
bool StageArchive(const char* archivePhonePath)
{
    std::string archive = phonePath(archivePhonePath);
    std::string staging = phonePath(kStaging);
    removeTree(staging);
    removeTree(phonePath(kOldStaging));
    std::string reason;
    ConfigArchive::Layout layout = ConfigArchive::CheckArchive(archive, reason);
    if (layout == ConfigArchive::Layout::None) {
        log_log(2, 4, "config archive refused: %s\n", reason.c_str());
        return false;
    }
    if (!ConfigArchive::ExtractArchive(archive, layout, staging)) {
        log_log(2, 3, "config archive could not be unpacked\n");
        removeTree(staging);
        return false;
    }
    struct stat info;
    std::string htpasswd = staging + "/htpasswd";
    if (lstat(htpasswd.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
        (!makeDirs(staging + "/data") || !ConfigArchive::CopyTree(htpasswd, staging + "/data/htpasswd"))) {
        removeTree(staging);
        return false;
    }
    return true;
}

bool LockEnabled()
{
    return etlGetProfileInt(kSettingFile, "PhoneSetting", "EnLock", 0) == 1;
}

// Runs a program (no shell) with its output appended to a file.
void AppendCommandOutput(const std::vector<const char*>& argv, const std::string& realFile)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, realFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const char* arg : argv)
        args.push_back(const_cast<char*>(arg));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

int CaptureMessage(unsigned int id)
{
    HTHREAD server = msgGetThreadByName("app_pcapServer");
    return msgSendMsgToThreadTimeoutEx(server, id, 0, 0, 0, nullptr, kPhoneWaitMs);
}

// Appends a capture file to the download; a further capture file loses its
// own file header, so the download stays one readable capture.
bool SendCapture(HttpResponse* response, const std::string& phone, bool first)
{
    FILE* file = OpenPhoneFile(phone.c_str());
    if (!file)
        return false;
    if (!first) {
        unsigned char header[kPcapHeader];
        size_t got = fread(header, 1, sizeof header, file);
        bool pcap = got == sizeof header && (memcmp(header, "\xd4\xc3\xb2\xa1", 4) == 0 ||
                                             memcmp(header, "\xa1\xb2\xc3\xd4", 4) == 0);
        if (!pcap)
            response->write(header, 1, got);
    }
    SendFileInPieces(file, response);
    return true;
}

}  // namespace

std::string CaptureClipPath(const std::string& prefix, int index)
{
    std::string name = prefix.compare(0, 5, "/tmp/") == 0 ? prefix.substr(5) : prefix;
    std::string file = name + "-" + std::to_string(index) + ".pcap";
    if (!isPlainFileName(name.c_str()) || !isPlainFileName(file.c_str()))
        return std::string();
    return "/tmp/" + file;
}

std::string SyslogMacName(const std::string& macText)
{
    std::string mac = macText.substr(0, 63);
    mac.erase(0, mac.find_first_not_of(" \t\r\n"));
    size_t end = mac.find_last_not_of(" \t\r\n");
    mac.erase(end == std::string::npos ? 0 : end + 1);
    std::string file = mac + ".log";
    return isPlainFileName(mac.c_str()) && isPlainFileName(file.c_str()) ? mac : kNoMac;
}

int exportConfig(HttpRequest* request, HttpResponse* response)
{
    (void)request;
    SetFileReplyHeaders(response, "text/xml", "attachment", "config.bin");
    std::string staging = phonePath(kStaging);
    std::string archive = phonePath(kExportFile);
    bool staged = false;
    {
        ETL_BaseHelper::chMutex mutex;
        mutex.OpenMutex(kLockName);
        mutex.Lock(-1);
        DIR* factory = opendir(phonePath(kFactoryDir).c_str());
        if (factory) {
            removeTree(staging);
            staged = makeDirs(staging);
            while (dirent* entry = readdir(factory)) {
                std::string name = entry->d_name;
                if (name == "." || name == ".." || !Exists((std::string(kConfigDir) + "/" + name).c_str()))
                    continue;
                staged = ConfigArchive::CopyTree(phonePath(std::string(kConfigDir) + "/" + name),
                                                 staging + "/" + name, false) && staged;
            }
            closedir(factory);
            removeTree(staging + "/certs");
            unlink((staging + "/system/autop_code.cfg").c_str());
        }
        mutex.Unlock();
        mutex.CloseMutex();
    }
    // Without the clean copy no archive leaves: it would carry the secrets.
    if (staged && GetConfigValue(FILETYPE_GLOBAL, "ExportCFGClearPWD", 0) == "1")
        staged = configParser_CleanPassword("/tmp/factory/", "/config/") == 0;
    if (staged)
        staged = ConfigArchive::WriteTar(archive, phonePath("/tmp"), "factory");
    removeTree(staging);
    FILE* file = staged ? OpenPhoneFile(kExportFile) : nullptr;
    if (!file) {
        log_log(2, 4, "exportConfig: failed to open file\n");
        unlink(archive.c_str());
        return 0;
    }
    SendFileInPieces(file, response);
    unlink(archive.c_str());
    log_log(2, 6, "Export config.bin success!\n");
    return 1;
}

int exportSyslog(HttpRequest* request, HttpResponse* response)
{
    (void)request;
    SetFileReplyHeaders(response, "text/xml", "attachment", "syslog.tar");
    std::string macText;
    readWholeFile(phonePath(kMacFile), macText);
    std::string logDir = phonePath("/tmp/log");
    std::string logFile = logDir + "/" + SyslogMacName(macText) + ".log";
    std::string archive = phonePath(kSyslogFile);
    bool made = makeDirs(logDir);
    if (made) {
        AppendCommandOutput({"ifconfig"}, logFile);
        AppendCommandOutput({"ps"}, logFile);
        made = ConfigArchive::WriteTar(archive, phonePath("/tmp"), "log");
    }
    FILE* file = made ? OpenPhoneFile(kSyslogFile) : nullptr;
    if (!file) {
        log_log(2, 4, "exportConfig: failed to open file\n");
        return 0;
    }
    SendFileInPieces(file, response);
    unlink(archive.c_str());
    log_log(2, 6, "Export syslog success!\n");
    return 1;
}

int SettingsConfigServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<SettingsConfigServlet> kActions[] = {
        {"load", &SettingsConfigServlet::loadConfig},
        {"export", &SettingsConfigServlet::exportConfigAction},
        {"import", &SettingsConfigServlet::importConfig},
        {"exportsyslog", &SettingsConfigServlet::exportSyslogAction},
        {"write", &SettingsConfigServlet::writeConfig},
        {"importFactory", &SettingsConfigServlet::importFactory},
        {"delFactory", &SettingsConfigServlet::deleteFactory},
        {"startcapture", &SettingsConfigServlet::startCapture},
        {"stopcapture", &SettingsConfigServlet::stopCapture},
        {"exportcapture", &SettingsConfigServlet::exportCapture},
    };
    // Everything but the page itself moves configuration or captures in or
    // out: only an identity that may change the page may do it.
    const char* action = request->getParameter("q");
    if (action && strcmp(action, "load") != 0 && strcmp(action, "write") != 0) {
        response->setContentType("text/html");
        if (!MayChangePage(request, response))
            return 0;
    }
    return DispatchPageAction(this, request, response, kActions);
}

int SettingsConfigServlet::loadConfig(HttpRequest* request, HttpResponse* response)
{
    TMPL_varlist* varlist = readConfigOperate(FILETYPE_GLOBAL, kFields, CountOf(kFields), nullptr, 0);
    std::string capture = std::to_string(CaptureMessage(kMsgCaptureState));
    varlist = TMPL_add_var(varlist, "ExistFactory", Exists(kFactoryDir) ? "true" : "",
                           "ExistCustomFactory", Exists(kCustomFactory) ? "true" : "",
                           "pcapUpdate", capture.c_str(), 0);
    varlist = GetTR069Supported(varlist);
    RenderPage(response, kTemplate, showItemsByLevel(varlist, request));
    return 1;
}

int SettingsConfigServlet::exportConfigAction(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    // The export form carries the choice of leaving the passwords out (an
    // unticked box sends nothing); a bare link keeps the stored choice.
    if (request->getParameter("exportForm")) {
        const char* clear = request->getParameter("ExportCFGClearPWD");
        writeConfigOperate(FILETYPE_GLOBAL, "ExportCFGClearPWD", clear && !strcmp(clear, "1") ? "1" : "0", 0);
    }
    return exportConfig(request, response);
}

int SettingsConfigServlet::exportSyslogAction(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    return exportSyslog(request, response);
}

int SettingsConfigServlet::importConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    std::string upload = phonePath(kImportFile);
    if (!TakeUpload(request, "ConfigFileName", kImportFile)) {
        log_log(2, 4, "rename file failed:/tmp/importfile.tar\n");
        SetNoticePage(response, false, kPage, kImportError);
        return 0;
    }
    if (!msgGetThreadByName("app_vpPhone")) {
        unlink(upload.c_str());
        log_log(2, 3, "Import config failed: the phone application is not running\n");
        SetNoticePage(response, false, kPage, "Failed");
        return 0;
    }
    // Nothing of the configuration changes before the whole archive passed.
    bool staged = StageArchive(kImportFile);
    unlink(upload.c_str());
    if (!staged) {
        SetNoticePage(response, false, kPage, kImportError);
        return 0;
    }
    std::string status = GetConfigValue(FILETYPE_GLOBAL, "UpdateStatus", 0);
    writeConfigOperate(FILETYPE_GLOBAL, "UpdateStatus", "ImportConfigFile", 0);
    msgSendMsgToThreadTimeoutEx(msgGetThreadByName("app_vpPhone"), kMsgConfigImported, 0, 0, 0,
                                nullptr, kPhoneWaitMs);
    int before = GetMaxAccountNum();
    bool lockBefore = LockEnabled();
    bool replaced;
    {
        ETL_BaseHelper::chMutex mutex;
        mutex.OpenMutex(kLockName);
        mutex.Lock(-1);
        replaced = ConfigArchive::OverlayTree(phonePath(kStaging), phonePath(kConfigDir));
        mutex.Unlock();
        mutex.CloseMutex();
    }
    removeTree(phonePath(kStaging));
    if (!replaced) {
        writeConfigOperate(FILETYPE_GLOBAL, "UpdateStatus", status.c_str(), 0);
        log_log(2, 3, "Import config failed: the configuration was left as it was\n");
        SetNoticePage(response, false, kPage, kImportError);
        return 0;
    }
    int after = GetMaxAccountNum();
    bool lockAfter = LockEnabled();
    if (!lockBefore && lockAfter)
        EncrpptPassword(after, before, true);
    else if (lockBefore && !lockAfter)
        EncrpptPassword(after, before, false);
    SetNoticePage(response, true, kPage, kUpdating);
    sysReboot(0);
    log_log(2, 6, "Import config.bin success!\n");
    return 1;
}

int SettingsConfigServlet::writeConfig(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    PageWrite write(request, kPage);
    write.add(FILETYPE_GLOBAL, kSyslogFields, CountOf(kSyslogFields));
    write.add(FILETYPE_GLOBAL, "SysLogLevel");
    if (!write.save())
        return write.reshow(response, this, &SettingsConfigServlet::loadConfig);
    const char* reboot = request->getParameter("reboot");
    if (reboot && !strcmp(reboot, "true")) {
        SetNoticePage(response, true, kPage, "Rebooting , please wait ...");
        sysReboot(-1);
        return 1;
    }
    write.done(response);
    return 1;
}

int SettingsConfigServlet::importFactory(HttpRequest* request, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    std::string upload = phonePath(kFactoryUpload);
    if (!TakeUpload(request, "FactoryConfig", kFactoryUpload)) {
        log_log(2, 4, "Import file failed:/tmp/config.tar\n");
        SetNoticePage(response, false, kPage, kImportError);
        return 0;
    }
    bool staged = StageArchive(kFactoryUpload);
    unlink(upload.c_str());
    // The old custom factory goes only once the new one is complete beside it.
    std::string target = phonePath(kCustomFactory);
    std::string fresh = target + ".new";
    removeTree(fresh);
    bool ok = staged && makeDirs(phonePath("/data")) &&
              ConfigArchive::CopyTree(phonePath(kStaging), fresh) && replaceFolder(fresh, target);
    removeTree(phonePath(kStaging));
    removeTree(fresh);
    if (!ok) {
        SetNoticePage(response, false, kPage, kImportError);
        return 0;
    }
    SetNoticePage(response, false, kPage, kFactoryOk);
    log_log(2, 6, "Import factory config success!\n");
    return 1;
}

int SettingsConfigServlet::deleteFactory(HttpRequest*, HttpResponse* response)
{
    if (IsInTalking(response))
        return 1;
    if (Exists(kCustomFactory) && removeTree(phonePath(kCustomFactory)))
        SetNoticePage(response, false, kPage, kDeleteOk);
    else
        SetNoticePage(response, false, kPage, kNoFactory);
    log_log(2, 6, "Delete factory config!\n");
    return 1;
}

int SettingsConfigServlet::startCapture(HttpRequest*, HttpResponse* response)
{
    CaptureMessage(kMsgCaptureStart);
    CaptureMessage(kMsgCaptureState);
    response->sendRedirect(kLoadUrl);
    log_log(2, 6, "Start to capture ...\n");
    return 1;
}

int SettingsConfigServlet::stopCapture(HttpRequest*, HttpResponse* response)
{
    CaptureMessage(kMsgCaptureStop);
    CaptureMessage(kMsgCaptureState);
    response->sendRedirect(kLoadUrl);
    log_log(2, 6, "Stop capture!\n");
    return 1;
}

int SettingsConfigServlet::exportCapture(HttpRequest*, HttpResponse* response)
{
    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char name[kFileNameSize];
    snprintf(name, sizeof name, "%s_%d_%d_%d.pcap",
             GetConfigValue(FILETYPE_GLOBAL, "PhoneFirmware", 0).c_str(), local.tm_hour,
             local.tm_min, local.tm_sec);
    // The firmware text names the file: it must stay one plain name.
    std::vector<std::string> files;
    if (isPlainFileName(name)) {
        std::string path = std::string("/tmp/") + name;
        HTHREAD server = msgGetThreadByName("app_pcapServer");
        msgSendMsgToThreadEx(server, kMsgCaptureExport, 0, 0, static_cast<int>(path.size() + 1),
                             path.c_str());
        if (Exists(path.c_str()))
            files.push_back(path);
    }
    int count = 0;
    ParseDecimalInt(GetConfigValue(FILETYPE_GLOBAL, "PacketCapFileCount", 0).c_str(), 0, kMaxClips, count);
    std::string prefix = GetConfigValue(FILETYPE_GLOBAL, "PacketCapClipFilePrefix", 0);
    for (int i = 0; i < count; ++i) {
        std::string clip = CaptureClipPath(prefix, i);
        if (clip.empty()) {
            log_log(2, 4, "Export capture: the clip prefix is not a plain name in /tmp\n");
            break;
        }
        if (Exists(clip.c_str()))
            files.push_back(clip);
    }
    if (files.empty()) {
        response->print("Invalid file name.");
        log_log(2, 4, "Export capture invalid file name.\n");
        return 0;
    }
    SetFileReplyHeaders(response, "application/octet-stream", "attachment", name);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!SendCapture(response, files[i], i == 0)) {
            log_log(2, 4, "Export capture failed to open file\n");
            return 0;
        }
    }
    // The saved capture is a copy made for this download.
    if (files[0].compare(0, 5, "/tmp/") == 0 && files[0] == std::string("/tmp/") + name)
        unlink(phonePath(files[0]).c_str());
    log_log(2, 6, "Export capture file!\n");
    return 1;
}

int SettingsConfigServlet::EncrpptPassword(int from, int to, bool encrypt)
{
    for (int account = from; account < to; ++account) {
        std::string stored = GetConfigValue(FILETYPE_ACCOUNT, "AccountPassword", account).substr(0, 255);
        if (stored.empty())
            continue;
        char converted[256];
        int length = encrypt ? pw_data_encrypt(stored.c_str(), converted, sizeof converted)
                             : pw_data_decrypt(stored.c_str(), converted, sizeof converted);
        // A password that does not convert stays as it was rather than lost.
        if (length >= 0)
            writeConfigOperate(FILETYPE_ACCOUNT, "AccountPassword", converted, account);
    }
    return 1;
}

int SettingsConfigServlet::GetMaxAccountNum()
{
    std::string version = etlGetProfileString(kInitSave, "OLD_VER", "HwVer", "1.0.0.0");
    bool many = etlGetProfileInt(kAccountNumFile, "AccountNum", "IsAccountNum16", 0) != 0;
    switch (version.empty() ? '\0' : version[0]) {
    case '1':
        return many ? 16 : 6;
    case '2':
        return 6;
    case '3':
    case '7':
    case '8':
        return 2;
    case '4':
        return many ? 13 : 3;
    default:
        return 3;
    }
}

TMPL_varlist* SettingsConfigServlet::showItemsByLevel(TMPL_varlist* varlist, HttpRequest* request)
{
    return AddShowLevel(varlist, request, kMenuNames, CountOf(kMenuNames), kItems, CountOf(kItems));
}

PHONEWEB_EXPORT HttpServlet* createSettingsConfigServlet()
{
    return new SettingsConfigServlet;
}
