// The phone application's side of the directory exchange: on the request
// 0x10007 with wparam 46 it loads or writes "/config/data//contact_xported.xml"
// with the contact manager the web pages use, and marks the change for them.
#pragma once

#include "platform/msgbus.h"

namespace phonesim {

constexpr unsigned int kDirectoryExchange = 46;
constexpr char kExchangeFile[] = "/config/data//contact_xported.xml";

bool IsDirectoryExchange(const BusMessage& message);
// lparam 0 restores the directory from the file, 1 writes it there, 2 adds
// the file's contacts, 3 replaces the contacts by the file's. Returns the
// exchange result code (0 success).
int ServeDirectoryExchange(int lparam);

}  // namespace phonesim
