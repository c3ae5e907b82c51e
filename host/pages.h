// The page table and the handlers the page library makes for it.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "frame/http.h"
#include "host/exchange.h"

struct PageEntry {
    const char* page;     // the value of "p"
    const char* factory;  // the exported function that makes its handler
};
extern const PageEntry kPageTable[];
extern const size_t kPageTableSize;
extern const char kListenerFactory[];
// Makes the handler that answers for every page name without one.
extern const char kMissingFactory[];

class PageRegistry {
public:
    // Finds an exported symbol of the page library; null when absent.
    using Lookup = std::function<void*(const char* symbol)>;
    using ExtraPages = std::vector<std::pair<std::string, std::string>>;

    // Makes the filter and one handler per factory (pages sharing a factory
    // share the handler) and calls init() once on each. A factory that is
    // missing or returns null leaves its pages unanswered (404). Extra pages
    // (name, factory) are added to the table or replace an entry.
    void load(const Lookup& lookup, const ExtraPages& extra = ExtraPages());
    // Calls destory() once on each handler and stops serving pages. The
    // handlers themselves are never deleted: they belong to the library.
    void shutdown();

    HttpListener* listener() const { return listener_; }
    HttpServlet* find(const char* page) const;
    size_t handlerCount() const { return handlers_.size(); }

    // The filter first; then the page named by "p", or 404.
    void serve(HttpRequest& request, HttpResponse& response) const;

private:
    HttpListener* listener_ = nullptr;
    HttpServlet* missing_ = nullptr;
    std::map<std::string, HttpServlet*> pages_;
    std::map<std::string, HttpServlet*> handlers_;  // by factory name
    bool shutDown_ = false;
};

// Serves one exchange from start to end: admission checks, filter and page
// (an exception from the library answers 500), then the request's clean-up.
void serveExchange(const PageRegistry& registry, SessionStore& sessions, RequestInfo info,
                   BodySource& body, OutputSink& out, const HostLimits& limits = HostLimits());
