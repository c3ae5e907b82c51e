// Pages the phone's host still asks for by name but this phone does not have:
// their factories answer null, so the host serves nothing under them.
#include "frame/http.h"

PHONEWEB_EXPORT HttpServlet* createContactsEnterpriseServlet() { return nullptr; }
PHONEWEB_EXPORT HttpServlet* createFeaturesUCServlet() { return nullptr; }
PHONEWEB_EXPORT HttpServlet* createNetworkDNSCacheServlet() { return nullptr; }
