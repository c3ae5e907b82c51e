// Answers that carry a file of the phone: the download headers, then the
// file in 1024-byte pieces.
#pragma once

#include <cstdio>

class HttpResponse;

// Opens a phone path ("/tmp/...") for reading; null when it cannot.
FILE* OpenPhoneFile(const char* path);
// Sets the content type and "Content-disposition" (disposition + ";
// filename=" + name), "Accept-Ranges" = "bytes" and "Expires" = "-1".
void SetFileReplyHeaders(HttpResponse* response, const char* contentType,
                         const char* disposition, const char* fileName);
// Copies the rest of the file into the response and closes it.
void SendFileInPieces(FILE* file, HttpResponse* response);
