#include "remote/filereply.h"

#include <string>

#include "frame/http.h"
#include "platform/paths.h"

FILE* OpenPhoneFile(const char* path)
{
    if (!path)
        return nullptr;
    return fopen(phonePath(path).c_str(), "rbe");
}

void SetFileReplyHeaders(HttpResponse* response, const char* contentType,
                         const char* disposition, const char* fileName)
{
    response->setContentType(contentType);
    std::string value = std::string(disposition) + "; filename=" + fileName;
    response->setHeader("Content-disposition", value.c_str());
    response->setHeader("Accept-Ranges", "bytes");
    response->setHeader("Expires", "-1");
}

void SendFileInPieces(FILE* file, HttpResponse* response)
{
    if (!file)
        return;
    char piece[1024];
    size_t n;
    while ((n = fread(piece, 1, sizeof piece, file)) > 0)
        response->write(piece, 1, n);
    fclose(file);
}
