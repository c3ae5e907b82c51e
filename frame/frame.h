// Everything a page needs from the frame.
#pragma once

#include "frame/configbridge.h"
#include "frame/fieldrules.h"
#include "frame/helpers.h"
#include "frame/http.h"
#include "frame/servlet.h"
#include "platform/configparser.h"
#include "platform/msgbus.h"
#include "platform/paths.h"
#include "platform/system.h"
#include "platform/tmpl.h"
