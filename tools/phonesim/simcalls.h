// The phone's call history as phonesim keeps it: every call the web pages
// place (make-call request) is recorded in "/config/data/call_data.xml" as a
// dialed call, newest last, as the phone application would.
#pragma once

#include "platform/msgbus.h"

namespace phonesim {

// Records a make-call request; other messages are left alone. True when
// the history file was written.
bool RecordCall(const BusMessage& message, long long now);

}  // namespace phonesim
