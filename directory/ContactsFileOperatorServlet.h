// Import and export of the whole local directory: XML carried between the
// browser and the phone process, CSV built here (export) or parsed,
// previewed, mapped to contact fields and handed to the phone process
// (import). Contact photos travel inside the CSV in Base64.
#pragma once

#include <string>

#include "directory/ContactsCsv.h"
#include "frame/http.h"

// The CSV columns' meanings (the exchange file's attribute names).
enum CSV_CONTACT_INDEX {
    CSV_IGNORE = 0,
    CSV_DISPLAY_NAME,
    CSV_OFFICE_NUMBER,
    CSV_MOBILE_NUMBER,
    CSV_OTHER_NUMBER,
    CSV_LINE,
    CSV_RING,
    CSV_GROUP,
    CSV_DEFAULT_PHOTO,
    CSV_PHOTO_DATA,
    CSV_FIELD_COUNT
};
// The name of a field value, null for any other value.
const char* GetParaNameByIndex(int index);

// The largest CSV or XML upload taken in (it is read whole into memory).
constexpr long long kMaxContactFileBytes = 16LL * 1024 * 1024;

class ContactsFileOperatorServlet : public HttpServlet {
public:
    void init() override;
    int onRequest(HttpRequest* request, HttpResponse* response) override;
    void destory() override { DeleteCSVDate(); }

    int uploadContactXMLFile(HttpRequest* request, HttpResponse* response);
    int downloadContactXMLFile(HttpRequest* request, HttpResponse* response);
    int uploadContactCSVFile(HttpRequest* request, HttpResponse* response);
    int importCSV(HttpRequest* request, HttpResponse* response);
    int downloadContactCSVFile(HttpRequest* request, HttpResponse* response);

    size_t parseCSV(const char* data, size_t length);
    void DeleteCSVDate();
    const CsvRows& rows() const { return rows_; }

private:
    CsvRows rows_;
    // The session that uploaded the rows: a random token kept in its
    // attribute "csvImport".
    std::string owner_;
    int phoneType_ = 0;
};

// Decodes Base64 photo data into the photo folder as `name` (with the
// image's extension appended when withExtension; `name` then holds the new
// name). True on success.
bool DecPhotoData2File(std::string& data, std::string& name, bool withExtension);
// The Base64 text of a user photo ("Config:<name>"), "" when there is none.
std::string GetBase64EncData(const std::string& photo);

PHONEWEB_EXPORT HttpServlet* createContactsFileOperatorServlet();
