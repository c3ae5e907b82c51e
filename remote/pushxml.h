// Pushed XML objects and CSTA requests: a listed server may push a screen
// for the phone's XML browser, and a CSTA client may send a request body
// that the phone process answers with a response document.
#pragma once

#include <cstddef>

class HttpRequest;
class HttpResponse;

// The largest push or CSTA body accepted; a larger one is refused with 400
// before any of it is read.
constexpr long kRemoteBodyMax = 1024L * 1024L;

// 1 when address equals one of the comma-separated entries of list (each
// trimmed of blanks and tabs, compared exactly), else 0 (also for a null
// argument).
int IsTrustServerIP(const char* address, const char* list);

// Stores a pushed XML object in "/tmp/XmlBrowserFile.xml" and tells the
// phone process. fromPage takes the XML from the form field "editPushXML";
// otherwise from the raw body "xml=<XML>". Only servers listed in
// "PushXMLServerIP" may push. Returns 1 when stored and announced, else 0.
// With a response, a body that is missing or over kRemoteBodyMax is answered
// with 400 (the request filter passes it; the hidden page answers itself).
int ProcessPushXml(HttpRequest* request, bool fromPage, HttpResponse* response = nullptr);

// Passes a CSTA request body to the phone process and copies the phone's
// response document back. Returns 1 when a response was copied, else 0.
int doProcessCSTA(HttpRequest* request, HttpResponse* response);
