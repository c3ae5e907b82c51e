#include "directory/ContactsFileOperatorServlet.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>

#include <pugixml.hpp>

#include "directory/ContactsCommon.h"
#include "directory/DirectoryMenu.h"
#include "frame/frame.h"
#include "platform/contactmanager.h"
#include "platform/msgids.h"

namespace {

constexpr char kPage[] = "contactsbasic";
constexpr char kExchangeFile[] = "/config/data//contact_xported.xml";
constexpr unsigned int kDirectoryExchange = 46;
constexpr int kImportXml = 0;
constexpr int kExportXml = 1;
constexpr int kAppendCsv = 2;
constexpr int kReplaceWithCsv = 3;
constexpr int kImportPhotoSize = 126;
constexpr long kPhotoMaxBytes = 5000000;
constexpr size_t kPreviewCellBytes = 49;
constexpr char kOwnerAttribute[] = "csvImport";
constexpr char kTooLarge[] = "Error:The file is too large (at most 16 MiB)!";
constexpr char kRowsGone[] = "Error:No CSV file of yours is waiting; please upload it again!";

const char* const kFieldNames[] = {
    "ignore", "display_name", "office_number", "mobile_number", "other_number",
    "line", "ring", "group_id_name", "default_photo", "photo_data",
};

// The phone process's answer to a directory exchange request; a phone that
// is not there cannot have done it.
int AskPhone(int lparam)
{
    HTHREAD phone = msgGetThreadByName("app_vpPhone");
    if (!phone)
        return -1;
    return msgSendMsgToThread(phone, kMsgConfigChanged, kDirectoryExchange, lparam);
}

void ShowNotice(HttpResponse* response, const char* text)
{
    SetNoticePage(response, false, kPage, text);
}

void SetDownloadHeaders(HttpResponse* response, const char* type, const char* name)
{
    response->setContentType(type);
    std::string disposition = std::string("attachment; filename=") + name;
    response->setHeader("Content-disposition", disposition.c_str());
    response->setHeader("Accept-Ranges", "bytes");
    response->setHeader("Expires", "-1");
}

// The first `limit` bytes, not cutting a UTF-8 letter in two.
std::string CutText(const std::string& text, size_t limit)
{
    if (text.size() <= limit)
        return text;
    size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return text.substr(0, cut);
}

std::string RandomToken()
{
    unsigned char bytes[16] = {0};
    int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
    if (fd >= 0)
        close(fd);
    if (!ok)
        return std::string();
    std::string token;
    char hex[3];
    for (unsigned char b : bytes) {
        snprintf(hex, sizeof hex, "%02x", b);
        token += hex;
    }
    return token;
}

// The stored upload of a field (its phone path), "" when there is none.
std::string StoredUpload(HttpRequest* request, const char* field)
{
    const char** values = request->getParameterValues(field);
    return values && values[0] ? values[0] : "";
}

}  // namespace

const char* GetParaNameByIndex(int index)
{
    return index >= 0 && index < CSV_FIELD_COUNT ? kFieldNames[index] : nullptr;
}

void ContactsFileOperatorServlet::init()
{
    phoneType_ = GetPhoneType();
}

int ContactsFileOperatorServlet::onRequest(HttpRequest* request, HttpResponse* response)
{
    static const PageAction<ContactsFileOperatorServlet> kActions[] = {
        {"importxml", &ContactsFileOperatorServlet::uploadContactXMLFile},
        {"exportxml", &ContactsFileOperatorServlet::downloadContactXMLFile},
        {"uploadcvs", &ContactsFileOperatorServlet::uploadContactCSVFile},
        {"importcsv", &ContactsFileOperatorServlet::importCSV},
        {"exportcvs", &ContactsFileOperatorServlet::downloadContactCSVFile},
    };
    // The item of the directory page that offers each action.
    static const char* const kItems[][2] = {
        {"importxml", "LocalbtnImportXML"}, {"exportxml", "LocalbtnExportXML"},
        {"uploadcvs", "LocalbtnImportCSV"}, {"importcsv", "LocalbtnImportCSV"},
        {"exportcvs", "LocalbtnExportCSV"},
    };
    response->setContentType("text/html");
    const char* q = request->getParameter("q");
    if (q && IsInTalking(response))
        return 1;
    for (const auto& item : kItems) {
        if (q && strcmp(q, item[0]) == 0 &&
            (!MayChangeDirectory(request, "LocalImportExportContacts") || !MayChangeDirectory(request, item[1]))) {
            RefuseDirectoryChange(response);
            return 1;
        }
    }
    return DispatchPageAction(this, request, response, kActions);
}

int ContactsFileOperatorServlet::uploadContactXMLFile(HttpRequest* request, HttpResponse* response)
{
    request->setUploadFileTemplate("/config/fileupload_XXXXXX");
    std::string stored = StoredUpload(request, "frameUploadXMLFile");
    if (!stored.empty() && GetFileSize(stored.c_str()) > kMaxContactFileBytes) {
        unlink(phonePath(stored).c_str());
        ShowNotice(response, kTooLarge);
        return 1;
    }
    if (stored.empty() || !RenameUploadFile(stored.c_str(), kExchangeFile)) {
        if (!stored.empty())
            unlink(phonePath(stored).c_str());
        ShowNotice(response, "Error:Import contact file error!");
        log_log(2, 3, "Import XML phonebook file error!\n");
        return 1;
    }
    int result = AskPhone(kImportXml);
    unlink(phonePath(kExchangeFile).c_str());
    if (result != 0) {
        char text[kContactNoticeSize] = {0};
        SetUploadErrorNotice(result, text);
        ShowNotice(response, text);
        log_log(2, 4, "Import XML phonebook, %s\n", text);
        return 1;
    }
    NS_DIRECTORY::CContactLocalManager* manager = NS_DIRECTORY::CContactLocalManager::GetInstance();
    manager->ReloadGroupXml();
    manager->ReloadContactXml();
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=0");
    log_log(2, 6, "Import XML addressbook success!\n");
    return 1;
}

int ContactsFileOperatorServlet::downloadContactXMLFile(HttpRequest*, HttpResponse* response)
{
    // Asked before the download headers go out, so that a refusal is shown
    // as a notice and not saved as "contact.xml".
    int result = AskPhone(kExportXml);
    if (result != 0) {
        log_log(2, 3, "Export file error! result = %d\n", result);
        ShowNotice(response, "Error:Export contact file error!");
        return 1;
    }
    FILE* file = fopen(phonePath(kExchangeFile).c_str(), "rb");
    if (!file) {
        log_log(2, 3, "Download contact XMLFile...End. failed to open file\n");
        ShowNotice(response, "Error:Export contact file error!");
        return 1;
    }
    SetDownloadHeaders(response, "text/xml", "contact.xml");
    char buffer[1024];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, file)) > 0)
        response->write(buffer, 1, n);
    fclose(file);
    log_log(2, 6, "Export XML addressbook Success!\n");
    return 1;
}

size_t ContactsFileOperatorServlet::parseCSV(const char* data, size_t length)
{
    return ParseCsv(data, length, rows_);
}

void ContactsFileOperatorServlet::DeleteCSVDate()
{
    CsvRows().swap(rows_);
    owner_.clear();
}

int ContactsFileOperatorServlet::uploadContactCSVFile(HttpRequest* request, HttpResponse* response)
{
    request->setUploadFileTemplate("/tmp/CSVFile_XXXXXX");
    const char** values = request->getParameterValues("frameUploadCVSFile");
    std::string stored = values && values[0] ? values[0] : "";
    long long size = stored.empty() ? -1 : GetFileSize(stored.c_str());
    if (size > kMaxContactFileBytes) {
        unlink(phonePath(stored).c_str());
        ShowNotice(response, kTooLarge);
        return 1;
    }
    std::string data;
    if (size < 0 || !readWholeFile(phonePath(stored), data)) {
        ShowNotice(response, "Get CSVFile data error!");
        log_log(2, 3, "Import CSV phonebook error : get CSVFile data error!\n");
        return 1;
    }
    unlink(phonePath(stored).c_str());
    parseCSV(data.data(), data.size());
    std::string().swap(data);

    owner_ = RandomToken();
    HttpSession* session = request->getSession(1);
    if (session && !owner_.empty())
        session->setAttribute(kOwnerAttribute, strdup(owner_.c_str()));

    bool title = strcmp(request->getParameter("showtitle") ? request->getParameter("showtitle") : "", "1") == 0;
    size_t columns = rows_.empty() ? 0 : rows_[0].size();
    TMPL_varlist* varlist = TMPL_add_var(nullptr, "showtitle", title ? "1" : "0", 0);
    if (title) {
        TMPL_loop* titles = nullptr;
        for (const std::string& cell : rows_[0])
            titles = TMPL_add_varlist(titles, TMPL_add_var(nullptr, "optionName", EscapeHtml(CutText(cell, kPreviewCellBytes)).c_str(), 0));
        varlist = TMPL_add_loop(varlist, "titleloop", titles);
    }
    // Each column starts mapped to the field its title names, or else to
    // the field of the export's column at that place.
    std::vector<int> fields;
    for (int value = CSV_DISPLAY_NAME; value < CSV_FIELD_COUNT; ++value)
        if (value != CSV_LINE || phoneType_ != 19)
            fields.push_back(value);
    TMPL_loop* columnRows = nullptr;
    for (size_t c = 0; c < columns; ++c) {
        int chosen = c < fields.size() ? fields[c] : CSV_IGNORE;
        if (title) {
            chosen = CSV_IGNORE;
            for (int value = CSV_DISPLAY_NAME; value < CSV_FIELD_COUNT; ++value)
                if (rows_[0][c] == kFieldNames[value])
                    chosen = value;
        }
        TMPL_loop* options = nullptr;
        for (int value = 0; value < CSV_FIELD_COUNT; ++value) {
            if (value == CSV_LINE && phoneType_ == 19)
                continue;
            std::string number = std::to_string(value);
            options = TMPL_add_varlist(options, TMPL_add_var(nullptr, "index", number.c_str(), "value",
                                                             kFieldNames[value], "selected",
                                                             value == chosen ? "1" : "0", 0));
        }
        std::string name = "col" + std::to_string(c + 1);
        TMPL_varlist* row = TMPL_add_var(nullptr, "colname", name.c_str(), 0);
        columnRows = TMPL_add_varlist(columnRows, TMPL_add_loop(row, "optionloop", options));
    }
    varlist = TMPL_add_loop(varlist, "cvsoptionloop", columnRows);
    TMPL_loop* phoneOptions = nullptr;
    for (int value = 0; value < CSV_FIELD_COUNT; ++value) {
        if (value == CSV_LINE && phoneType_ == 19)
            continue;
        std::string number = std::to_string(value);
        phoneOptions = TMPL_add_varlist(phoneOptions, TMPL_add_var(nullptr, "index", number.c_str(), "value", kFieldNames[value], 0));
    }
    varlist = TMPL_add_loop(varlist, "phoneoptionloop", phoneOptions);
    TMPL_loop* records = nullptr;
    for (size_t r = title ? 1 : 0, line = 1; r < rows_.size(); ++r, ++line) {
        TMPL_loop* cells = nullptr;
        for (size_t c = 0; c < columns; ++c) {
            std::string cell = c < rows_[r].size() ? EscapeHtml(CutText(rows_[r][c], kPreviewCellBytes)) : "";
            cells = TMPL_add_varlist(cells, TMPL_add_var(nullptr, "optionvalue", cell.c_str(), 0));
        }
        std::string index = std::to_string(line);
        TMPL_varlist* row = TMPL_add_var(nullptr, "lineindex", index.c_str(), 0);
        records = TMPL_add_varlist(records, TMPL_add_loop(row, "recordoptionloop", cells));
    }
    varlist = TMPL_add_loop(varlist, "recordloop", records);
    std::string fileName = values[1] ? values[1] : "";
    std::string columnCount = std::to_string(columns);
    varlist = TMPL_add_var(varlist, "filename", EscapeHtml(fileName).c_str(), "colcount", columnCount.c_str(), 0);
    varlist = AddDirectoryShowLevel(varlist, request, "contacts-basic", nullptr, 0);
    RenderPage(response, "contacts-preview.htm", varlist);
    log_log(2, 6, "Import CSV addressbook Success!\n");
    return 1;
}

bool DecPhotoData2File(std::string& data, std::string& name, bool withExtension)
{
    std::string bytes(data.size() / 4 * 3 + 3, '\0');
    int length = base64_decode(data.c_str(), &bytes[0]);
    if (length <= 0) {
        log_log(2, 4, "Fail to Base64Dec len=[%d]\n", length);
        return false;
    }
    bytes.resize(static_cast<size_t>(length));
    static const char* const kExtensions[] = {nullptr, ".bmp", ".jpg", ".png"};
    int type = GetImageTypeByData(bytes.data(), bytes.size());
    if (type < 1 || type > 3)
        return false;
    std::string target = withExtension ? name + kExtensions[type] : name;
    if (StorePhotoData(bytes, target, kImportPhotoSize, kPhotoMaxBytes) != 1)
        return false;
    name = target;
    return true;
}

std::string GetBase64EncData(const std::string& photo)
{
    std::string name;
    if (!IsUserPhoto(photo, &name)) {
        log_log(2, 6, "pDefaultPhoto is null\n");
        return std::string();
    }
    std::string data;
    if (!IsPlainPhotoName(name) || !readWholeFile(PhotoRealPath(name), data) || data.empty() ||
        data.size() > static_cast<size_t>(kPhotoMaxBytes))
        return std::string();
    char* text = nullptr;
    int length = base64_encode(data.data(), static_cast<int>(data.size()), &text);
    std::string encoded = length > 0 && text ? std::string(text, static_cast<size_t>(length)) : "";
    free(text);
    if (encoded.empty())
        log_log(2, 3, "Fail to encode %s to Base64\n", name.c_str());
    return encoded;
}

int ContactsFileOperatorServlet::importCSV(HttpRequest* request, HttpResponse* response)
{
    HttpSession* session = request->getSession(1);
    const char* mine = session ? session->getAttribute(kOwnerAttribute) : nullptr;
    if (owner_.empty() || !mine || owner_ != mine) {
        ShowNotice(response, kRowsGone);
        log_log(2, 4, "Import CSV phonebook: the rows belong to another session\n");
        return 1;
    }
    bool title = strcmp(request->getParameter("showtitle") ? request->getParameter("showtitle") : "", "1") == 0;
    bool replace = strcmp(request->getParameter("delOld") ? request->getParameter("delOld") : "", "1") == 0;
    std::vector<int> mapping;
    ZRList<std::string> entries;
    const char* arrcol = request->getParameter("arrcol");
    if (arrcol) {
        String2List(entries, arrcol, ',');
    } else {
        // A browser without script posts one select per column.
        for (size_t c = 1; const char* value = request->getParameter(("col" + std::to_string(c)).c_str()); ++c)
            entries.push_back(value);
    }
    for (const std::string& entry : entries) {
        int value = CSV_IGNORE;
        ParseDecimalInt(entry.c_str(), 0, CSV_FIELD_COUNT - 1, value);
        mapping.push_back(value);
    }
    int photoNameColumn = -1, photoDataColumn = -1;
    for (size_t c = 0; c < mapping.size(); ++c) {
        if (mapping[c] == CSV_DEFAULT_PHOTO && photoNameColumn < 0)
            photoNameColumn = static_cast<int>(c);
        if (mapping[c] == CSV_PHOTO_DATA && photoDataColumn < 0)
            photoDataColumn = static_cast<int>(c);
    }

    // Without a mapping the document stays empty: the phone must never be
    // sent to an exchange file some earlier import left behind.
    {
        pugi::xml_document doc;
        pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "utf-8";
        pugi::xml_node root = doc.append_child("root_contact");
        for (size_t r = title ? 1 : 0; r < rows_.size() && !mapping.empty(); ++r) {
            const CsvRow& row = rows_[r];
            pugi::xml_node contact = root.append_child("contact");
            auto cell = [&](int column) -> std::string {
                return column >= 0 && static_cast<size_t>(column) < row.size() ? row[column] : "";
            };
            for (size_t c = 0; c < mapping.size() && c < row.size(); ++c) {
                int value = mapping[c];
                const std::string& text = row[c];
                std::string name;
                if (value >= CSV_DISPLAY_NAME && value <= CSV_GROUP) {
                    contact.remove_attribute(kFieldNames[value]);
                    contact.append_attribute(kFieldNames[value]) = text.c_str();
                } else if (value == CSV_DEFAULT_PHOTO && !text.empty()) {
                    bool keep = !IsUserPhoto(text, &name);
                    if (!keep && IsPlainPhotoName(name)) {
                        std::string data = cell(photoDataColumn);
                        keep = data.empty() ? access(PhotoRealPath(name).c_str(), F_OK) == 0
                                            : DecPhotoData2File(data, name, false);
                    }
                    if (keep && !contact.attribute("default_photo"))
                        contact.append_attribute("default_photo") = text.c_str();
                } else if (value == CSV_PHOTO_DATA && !text.empty() && cell(photoNameColumn).empty()) {
                    std::string data = text;
                    name = PhotoNameFromText(contact.attribute("display_name").value());
                    if (DecPhotoData2File(data, name, true) && !contact.attribute("default_photo"))
                        contact.append_attribute("default_photo") = ("Config:" + name).c_str();
                }
            }
        }
        std::ostringstream out;
        doc.save(out, "\t");
        if (!writeFileAtomic(phonePath(kExchangeFile), out.str())) {
            ShowNotice(response, "Error:Import contact file error!");
            return 1;
        }
    }
    int result = AskPhone(replace ? kReplaceWithCsv : kAppendCsv);
    if (result != 0) {
        char text[kContactNoticeSize] = {0};
        SetUploadErrorNotice(result, text);
        ShowNotice(response, text);
        log_log(2, 4, "Import CSV phonebook, %s\n", text);
        return 1;
    }
    unlink(phonePath(kExchangeFile).c_str());
    NS_DIRECTORY::CContactLocalManager::GetInstance()->ReloadGroupXml();
    MarkSaved(request);
    response->sendRedirect("/servlet?p=contactsbasic&q=load&num=1&group=");
    log_log(2, 6, "importCSV success!\n");
    return 1;
}

int ContactsFileOperatorServlet::downloadContactCSVFile(HttpRequest*, HttpResponse* response)
{
    SetDownloadHeaders(response, "text/xml;charset=UTF-8", "contact.csv");
    response->write("\xEF\xBB\xBF", 1, 3);
    pugi::xml_document doc;
    pugi::xml_node root = doc.first_child();
    if (!doc.load_file(phonePath(NS_DIRECTORY::kContactFile).c_str()) || !(root = doc.first_child()))
        return 1;
    bool withLine = phoneType_ != 19;
    std::string line;
    for (int value = CSV_DISPLAY_NAME; value < CSV_FIELD_COUNT; ++value) {
        if (value == CSV_LINE && !withLine)
            continue;
        if (!line.empty())
            line += ',';
        line += kFieldNames[value];
    }
    line += "\r\n";
    response->write(line.data(), 1, line.size());
    NS_DIRECTORY::CContactLocalManager* manager = ContactManagerUpToDate();
    for (pugi::xml_node contact : root.children()) {
        NS_DIRECTORY::ContactGroupData group;
        int id = atoi(contact.attribute("group_id_name").value());
        if (!manager || !manager->GetGroupDataByID(&group, id))
            group.name.clear();
        const char* const kColumns[] = {"display_name", "office_number", "mobile_number",
                                        "other_number", "line", "ring"};
        line.clear();
        for (const char* column : kColumns) {
            if (strcmp(column, "line") == 0 && !withLine)
                continue;
            AppendCsvField(line, contact.attribute(column).value());
            line += ',';
        }
        std::string photo = contact.attribute("default_photo").value();
        AppendCsvField(line, group.name);
        line += ',';
        AppendCsvField(line, photo);
        line += ',';
        line += GetBase64EncData(photo);
        line += "\r\n";
        response->write(line.data(), 1, line.size());
    }
    log_log(2, 6, "Export CSV addressbook Success!\n");
    return 1;
}

HttpServlet* createContactsFileOperatorServlet()
{
    return new ContactsFileOperatorServlet;
}
