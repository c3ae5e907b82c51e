// Receives the parts of a multipart body: file parts go to new files made
// from the page's pattern, text parts are kept as field values.
#pragma once

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

#include "host/multipart.h"

// An upload on disk; the identity lets the host remove it at the end of the
// request only if the file at that path is still the one it wrote.
struct StoredFile {
    std::string realPath;
    dev_t device = 0;
    ino_t inode = 0;
};

// Removes each file that still is the one stored there.
void removeStoredFiles(std::vector<StoredFile>& files);

// The part of a client's file name after its last "/" or "\".
std::string clientBaseName(const std::string& fileName);

class UploadReceiver final : public MultipartHandler {
public:
    // pattern: a phone path ending in "XXXXXX"; fallback is used when it is
    // not one. maxText bounds the text fields together.
    UploadReceiver(const std::string& pattern, const std::string& fallback, size_t maxText);
    ~UploadReceiver();
    UploadReceiver(const UploadReceiver&) = delete;
    UploadReceiver& operator=(const UploadReceiver&) = delete;

    bool onPartBegin(const MultipartPart& part) override;
    bool onPartData(const char* data, size_t size) override;
    bool onPartEnd() override;

    // Removes every file stored so far (the body turned out broken).
    void discard();

    // Field values in body order. A file field adds two: the stored file's
    // phone path, then the client's file name.
    std::vector<std::pair<std::string, std::string>> fields;
    std::vector<StoredFile> files;

private:
    enum class Kind { Skip, Text, File };
    void dropFile();

    std::string pattern_;
    size_t maxText_;
    size_t textBytes_ = 0;

    Kind kind_ = Kind::Skip;
    MultipartPart part_;
    std::string text_;
    int fd_ = -1;
    std::string phonePath_;
    std::string realPath_;
    long long fileBytes_ = 0;
};
