// Files the phone process leaves for the web side before it answers a send:
// the configuration export ("phonecfg") and the CSTA response document.
#pragma once

#include <string>

#include "platform/msgids.h"
#include "platform/msgbus.h"

namespace phonesim {


// The configuration text the phone exports: the user store's settings.
std::string PhonecfgText();

// The CSTA response to a request document: "<Name>Response" named after the
// request's root element when the phone takes it (result non-zero), a CSTA
// error document when it refuses it. Both note the request's size.
std::string CstaResponseText(const std::string& request, int result);

// Writes the file a send of this id leaves before its answer (result):
// "/tmp/phonecfg.ini" when an export is answered 1, "/tmp/CSTAResponseXml.xml"
// for every answered CSTA request. Nothing for other ids, or without an
// answer (answered false: the sender runs into its time-out).
void WriteAnswerFiles(const BusMessage& message, bool answered, int result);

}  // namespace phonesim
