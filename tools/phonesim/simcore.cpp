#include "tools/phonesim/simcore.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

// Debian keeps SimpleIni's template bodies behind SI_IMPLEMENTATION; byte
// strings need no wide-character conversion.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "pages/status/ExpDevice.h"
#include "platform/configparser.h"
#include "platform/msgids.h"
#include "platform/paths.h"
#include "tools/phonesim/answerfiles.h"
#include "tools/phonesim/directory.h"
#include "tools/phonesim/simcalls.h"
#include "tools/phonesim/simdiagnostics.h"
#include "tools/phonesim/simdsskey.h"

namespace phonesim {

namespace {

constexpr int kSipClients = 16;
// Registration states as the phone application reports them.
constexpr int kStatusDisabled = 0;
constexpr int kStatusRegistered = 2;
constexpr int kDefaultLayoutKind = 1;

const char* const kFixedThreads[] = {"app_vpPhone", "app_vpScreen", "app_pcapServer",
                                     "autoServer",  "smGui",        "bluetooththread"};

// Parses a whole decimal or "0x" hexadecimal number.
bool parseNumber(const std::string& text, long long& out)
{
    if (text.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    out = strtoll(text.c_str(), &end, 0);
    return errno == 0 && end && *end == '\0';
}

// A configured value of "none" means: do not answer.
Reply replyFromText(const std::string& text, bool& valid)
{
    Reply reply;
    long long number = 0;
    valid = true;
    if (text == "none")
        reply.answer = false;
    else if (parseNumber(text, number))
        reply.value = static_cast<int>(number);
    else
        valid = false;
    return reply;
}

// Length of the valid UTF-8 sequence at text[i], 0 when there is none.
size_t utf8Length(const std::string& text, size_t i)
{
    unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t length;
    unsigned int min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    unsigned int code = lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (next & 0x3F);
    }
    bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return (code < min || code > 0x10FFFF || surrogate) ? 0 : length;
}

}  // namespace

std::vector<std::string> ServedThreads()
{
    std::vector<std::string> names(std::begin(kFixedThreads), std::end(kFixedThreads));
    for (int account = 0; account < kSipClients; ++account)
        names.push_back("app_sipClient" + std::to_string(account));
    return names;
}

std::string JsonEscape(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (size_t length = c >= 0x80 ? utf8Length(text, i) : 0) {
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            // Control characters, DEL and stray bytes: as the code point of
            // the byte, so the line stays valid JSON.
            snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        }
        ++i;
    }
    return out;
}

std::string BusLogLine(const BusMessage& message)
{
    bool broadcast = message.kind == "broadcast";
    std::string line = "{\"to\":\"";
    line += broadcast ? std::string("*") : JsonEscape(message.thread);
    line += "\",\"id\":" + std::to_string(message.id);
    line += ",\"wparam\":" + std::to_string(message.wparam);
    line += ",\"lparam\":" + std::to_string(message.lparam);
    line += ",\"kind\":\"" + JsonEscape(message.kind) + "\"";
    if (message.hasData) {
        std::string text = message.data.substr(0, message.data.find('\0'));
        line += ",\"data\":\"" + JsonEscape(text) + "\"";
    }
    line += "}";
    return line;
}

bool BroadcastFilter::firstSight(uint32_t senderPid, uint32_t serial)
{
    std::pair<uint32_t, uint32_t> key(senderPid, serial);
    if (!seen_.insert(key).second)
        return false;
    order_.push_back(key);
    if (order_.size() > kRemembered) {
        seen_.erase(order_.front());
        order_.pop_front();
    }
    return true;
}

bool SimState::load(const std::string& realPath)
{
    entries_.clear();
    CSimpleIniA ini;
    if (ini.LoadFile(realPath.c_str()) < 0)
        return false;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& section : sections) {
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(section.pItem, keys);
        for (const auto& key : keys) {
            const char* value = ini.GetValue(section.pItem, key.pItem, "");
            entries_.emplace_back(std::string(section.pItem) + "/" + key.pItem, value);
        }
    }
    return true;
}

std::string SimState::value(const char* section, const std::string& key) const
{
    std::string wanted = std::string(section) + "/" + key;
    for (const auto& entry : entries_)
        if (entry.first == wanted)
            return entry.second;
    return std::string();
}

std::vector<std::pair<std::string, std::string>> SimState::section(const char* name) const
{
    std::string prefix = std::string(name) + "/";
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& entry : entries_)
        if (entry.first.compare(0, prefix.size(), prefix) == 0)
            out.emplace_back(entry.first.substr(prefix.size()), entry.second);
    return out;
}

Reply SimState::accountStatus(int account) const
{
    bool valid = false;
    Reply reply = replyFromText(value("account", "status." + std::to_string(account)), valid);
    if (valid)
        return reply;
    std::string enable = configParser_GetConfigString(
        configParser_GetAccountConfigName("AccountEnable", account).c_str());
    reply.value = enable == "1" ? kStatusRegistered : kStatusDisabled;
    return reply;
}

// The key-layout answer: low 4 bits the number of modules, the bits above
// the layout kind (1 = 38 keys, else 40 keys).
int SimState::expansionLayout() const
{
    long long count = 0;
    if (!parseNumber(value("exp", "count"), count)) {
        ExpDevice device;
        ExpIoctlArg arg;
        count = device.open("/dev/exp0") && device.request(kExpGetCount, arg) == 0 ? arg.number : 0;
    }
    long long kind = kDefaultLayoutKind;
    if (!parseNumber(value("exp", "kind"), kind))
        kind = kDefaultLayoutKind;
    return static_cast<int>((count & 0xF) | ((kind & 0xFFFFFF) << 4));
}

bool SimState::overrides(unsigned int id) const
{
    for (const auto& entry : entries_) {
        long long number = 0;
        bool valid = false;
        if (entry.first.compare(0, 6, "reply/") == 0 && parseNumber(entry.first.substr(6), number) &&
            static_cast<unsigned int>(number) == id) {
            replyFromText(entry.second, valid);
            if (valid)
                return true;
        }
    }
    return false;
}

Reply SimState::answer(const BusMessage& message) const
{
    Reply reply;
    bool valid = false;
    // An explicit reply wins over the built-in behaviour.
    for (const auto& entry : entries_) {
        long long id = 0;
        const std::string& name = entry.first;
        if (name.compare(0, 6, "reply/") == 0 && parseNumber(name.substr(6), id) &&
            static_cast<unsigned int>(id) == message.id) {
            reply = replyFromText(entry.second, valid);
            if (valid)
                return reply;
        }
    }
    switch (message.id) {
    case kMsgAskTalking:
        reply.value = value("phone", "talking") == "1" ? 0 : 1;
        return reply;
    case kMsgAccountStatus:
        return accountStatus(static_cast<int>(message.wparam));
    case kMsgKeyLayout:
        reply.value = expansionLayout();
        return reply;
    default:
        reply = replyFromText(value("reply", "default"), valid);
        if (!valid)
            reply = Reply{true, 1};
        return reply;
    }
}

std::string DefaultStateText()
{
    return "; The phone's state as phonesim reports it; read again at each request.\n"
           "[phone]\n"
           "; 1 while a call is in progress\n"
           "talking = 0\n"
           "\n"
           "[account]\n"
           "; status.<n> = registration status of account n (from 0), or none for no\n"
           "; answer; by default 2 for enabled accounts and 0 for the others\n"
           "\n"
           "[exp]\n"
           "; count = attached expansion modules (default: as /dev/exp0 describes)\n"
           "; kind = key layout kind, 1 = 38 keys, else 40 keys (default 1)\n"
           "\n"
           "[blflist]\n"
           "; <set>.<key> = value|label|extension: what the key status query 0x3001E\n"
           "; leaves in /tmp/tmpBLFListValues (set line, memory or exp)\n"
           "\n"
           "[reply]\n"
           "; <message id> = answer to that send (none: no answer), default = any other\n"
           "; 0x3001F = 0 fails the configuration export (none: it times out)\n"
           "; 0x10014 = 0 refuses CSTA requests (with an error document)\n"
           "\n"
           "[autop]\n"
           "; running = 1 makes autoServer report a provisioning run (0xA0001)\n";
}

bool PhoneSim::start(std::string& error)
{
    std::string folder = phonePath("/tmp/phonesim");
    if (!makeDirs(folder)) {
        error = "cannot create " + folder;
        return false;
    }
    logPath_ = folder + "/bus.log";
    statePath_ = folder + "/state.ini";
    if (access(statePath_.c_str(), F_OK) != 0 && !writeFileAtomic(statePath_, DefaultStateText())) {
        error = "cannot write " + statePath_;
        return false;
    }
    for (const std::string& name : ServedThreads()) {
        auto endpoint = std::make_unique<BusEndpoint>();
        if (!endpoint->bind(name)) {
            error = "cannot serve thread " + name + " (is another phonesim running?)";
            endpoints_.clear();
            return false;
        }
        endpoints_.push_back(std::move(endpoint));
    }
    return true;
}

void PhoneSim::appendLog(const std::string& line)
{
    // One write of the whole line to an O_APPEND file: readers never see
    // half a line, and each line is on disk before the next message.
    int fd = open(logPath_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    std::string text = line + "\n";
    writeAll(fd, text.data(), text.size());
    close(fd);
}

Reply PhoneSim::handle(const BusMessage& message)
{
    if (message.kind != "broadcast" || broadcasts_.firstSight(message.senderPid, message.serial))
        appendLog(BusLogLine(message));
    reboot_.note(message);
    RecordCall(message, static_cast<long long>(time(nullptr)));
    SimState state;
    state.load(statePath_);
    Reply played;
    bool mine = PlayDiagnostics(message, state, played);
    if (message.kind != "send")
        return Reply{false, 0};
    // The directory exchange really happens, unless the state file dictates
    // the answer.
    if (IsDirectoryExchange(message) && !state.overrides(message.id))
        return Reply{true, ServeDirectoryExchange(message.lparam)};
    Reply reply = mine && !state.overrides(message.id) ? played : state.answer(message);
    if (std::optional<int> restart = reboot_.answer(message); restart && !state.overrides(message.id))
        reply = Reply{true, *restart};
    WriteAnswerFiles(message, reply.answer, reply.value);
    WriteBlfListFile(state.section("blflist"), message, reply.answer);
    return reply;
}

void PhoneSim::run(volatile sig_atomic_t* stop, int wakeFd)
{
    std::vector<pollfd> fds;
    for (const auto& endpoint : endpoints_)
        fds.push_back(pollfd{endpoint->fd(), POLLIN, 0});
    if (wakeFd >= 0)
        fds.push_back(pollfd{wakeFd, POLLIN, 0});
    while (!*stop) {
        if (reboot_.requested() && reboot_.msUntilDue() == 0)
            return;
        int ready = poll(fds.data(), fds.size(), reboot_.msUntilDue());
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            perror("phonesim: poll");
            return;
        }
        for (size_t i = 0; i < endpoints_.size() && !*stop; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            BusMessage message;
            while (!*stop && endpoints_[i]->receive(message, 0)) {
                Reply reply = handle(message);
                if (reply.answer && message.kind == "send")
                    endpoints_[i]->reply(message, reply.value);
                message = BusMessage();
            }
        }
        if (wakeFd >= 0 && (fds.back().revents & POLLIN))
            return;
    }
}

}  // namespace phonesim
