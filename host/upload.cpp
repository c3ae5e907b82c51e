#include "host/upload.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/paths.h"
#include "platform/system.h"

namespace {

const char kTemplateEnd[] = "XXXXXX";
const size_t kTemplateEndSize = sizeof kTemplateEnd - 1;

bool usablePattern(const std::string& pattern)
{
    return pattern.size() > kTemplateEndSize && pattern[0] == '/' &&
           pattern.compare(pattern.size() - kTemplateEndSize, kTemplateEndSize, kTemplateEnd) == 0;
}

}  // namespace

void removeStoredFiles(std::vector<StoredFile>& files)
{
    for (const StoredFile& file : files) {
        struct stat st;
        if (lstat(file.realPath.c_str(), &st) == 0 && st.st_dev == file.device &&
            st.st_ino == file.inode)
            unlink(file.realPath.c_str());
    }
    files.clear();
}

std::string clientBaseName(const std::string& fileName)
{
    size_t slash = fileName.find_last_of("/\\");
    return slash == std::string::npos ? fileName : fileName.substr(slash + 1);
}

UploadReceiver::UploadReceiver(const std::string& pattern, const std::string& fallback,
                               size_t maxText)
    : pattern_(usablePattern(pattern) ? pattern : fallback), maxText_(maxText)
{
    if (!pattern.empty() && pattern_ != pattern)
        log_log(2, 4, "upload pattern %s does not end in XXXXXX, using %s", pattern.c_str(),
                pattern_.c_str());
}

UploadReceiver::~UploadReceiver() { dropFile(); }

void UploadReceiver::dropFile()
{
    if (fd_ >= 0) {
        close(fd_);
        unlink(realPath_.c_str());
        fd_ = -1;
    }
}

bool UploadReceiver::onPartBegin(const MultipartPart& part)
{
    part_ = part;
    text_.clear();
    fileBytes_ = 0;
    if (part.name.empty()) {
        kind_ = Kind::Skip;
        return true;
    }
    if (!part.isFile) {
        kind_ = Kind::Text;
        return true;
    }
    kind_ = Kind::File;
    realPath_ = phonePath(pattern_);
    fd_ = mkostemp(&realPath_[0], O_CLOEXEC);
    if (fd_ < 0) {
        // The page finds no file under the field and answers its own error.
        log_log(2, 3, "cannot store upload %s: %s", pattern_.c_str(), strerror(errno));
        kind_ = Kind::Skip;
        return true;
    }
    phonePath_ = pattern_.substr(0, pattern_.size() - kTemplateEndSize) +
                 realPath_.substr(realPath_.size() - kTemplateEndSize);
    return true;
}

bool UploadReceiver::onPartData(const char* data, size_t size)
{
    switch (kind_) {
    case Kind::Skip:
        return true;
    case Kind::Text:
        textBytes_ += size;
        if (textBytes_ > maxText_)
            return false;
        text_.append(data, size);
        return true;
    case Kind::File:
        if (!writeAll(fd_, data, size)) {
            log_log(2, 3, "cannot write upload %s: %s", phonePath_.c_str(), strerror(errno));
            dropFile();
            kind_ = Kind::Skip;
            return true;
        }
        fileBytes_ += static_cast<long long>(size);
        return true;
    }
    return true;
}

bool UploadReceiver::onPartEnd()
{
    if (kind_ == Kind::Text) {
        fields.emplace_back(part_.name, std::move(text_));
    } else if (kind_ == Kind::File) {
        struct stat st;
        bool ok = fstat(fd_, &st) == 0;
        ok = close(fd_) == 0 && ok;
        fd_ = -1;
        // A file input left empty in the browser sends no name and no bytes.
        if (!ok || (part_.fileName.empty() && fileBytes_ == 0)) {
            unlink(realPath_.c_str());
        } else {
            files.push_back(StoredFile{realPath_, st.st_dev, st.st_ino});
            fields.emplace_back(part_.name, phonePath_);
            fields.emplace_back(part_.name, clientBaseName(part_.fileName));
        }
    }
    kind_ = Kind::Skip;
    return true;
}

void UploadReceiver::discard()
{
    dropFile();
    removeStoredFiles(files);
    fields.clear();
}
