#include "pages/status/ExpDevice.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/paths.h"

bool ParseExpStandIn(const std::string& text, std::vector<ExpModuleText>& modules)
{
    modules.clear();
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#')
            continue;
        std::istringstream fields(line);
        ExpModuleText module;
        std::string extra;
        if (!(fields >> module.kind >> module.hardware >> module.firmware) || (fields >> extra))
            return false;
        modules.push_back(module);
        if (modules.size() > kExpMaxModules)
            return false;
    }
    return true;
}

ExpDevice::~ExpDevice()
{
    if (fd_ >= 0)
        close(fd_);
}

bool ExpDevice::open(const char* path)
{
    if (fd_ >= 0 || !path)
        return false;
    std::string real = phonePath(path);
    fd_ = ::open(real.c_str(), O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        return false;
    struct stat info;
    if (fstat(fd_, &info) == 0 && S_ISREG(info.st_mode)) {
        standIn_ = true;
        std::string text;
        standInValid_ = readWholeFile(real, text) && ParseExpStandIn(text, modules_);
    }
    return true;
}

int ExpDevice::request(unsigned long code, ExpIoctlArg& arg)
{
    if (fd_ < 0)
        return -1;
    int result = standIn_ ? answerFromText(code, arg) : ioctl(fd_, code, &arg);
    if (arg.text)
        arg.text[kExpTextSize - 1] = '\0';
    return result == 0 ? 0 : -1;
}

int ExpDevice::answerFromText(unsigned long code, ExpIoctlArg& arg) const
{
    if (!standInValid_)
        return -1;
    if (code == kExpGetCount) {
        arg.number = static_cast<uint32_t>(modules_.size());
        return 0;
    }
    uint32_t index = arg.index & 0xFFFF;
    if (index >= modules_.size())
        return -1;
    const ExpModuleText& module = modules_[index];
    switch (code) {
    case kExpPrepareA:
    case kExpPrepareB:
        return 0;
    case kExpGetKind:
        arg.number = static_cast<uint32_t>(module.kind);
        return 0;
    case kExpGetHardware:
    case kExpGetFirmware:
        if (!arg.text)
            return -1;
        snprintf(arg.text, kExpTextSize, "%s",
                 (code == kExpGetHardware ? module.hardware : module.firmware).c_str());
        return 0;
    default:
        return -1;
    }
}
