#include "host/session.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <sys/random.h>
#include <unistd.h>

#include "platform/system.h"

HostSession::HostSession(std::string id, int timeoutSeconds, int64_t now)
    : id_(std::move(id)), defaultTimeout_(timeoutSeconds), timeout_(timeoutSeconds), lastAccess_(now)
{
}

HostSession::~HostSession() { clearAttributes(); }

void HostSession::clearAttributes()
{
    for (auto& entry : attributes_)
        free(entry.second);
    attributes_.clear();
}

void HostSession::setAttribute(const char* name, char* value)
{
    if (!name || !valid_) {
        free(value);
        return;
    }
    auto it = attributes_.find(name);
    if (it != attributes_.end()) {
        free(it->second);
        if (value)
            it->second = value;
        else
            attributes_.erase(it);
    } else if (value) {
        attributes_.emplace(name, value);
    }
}

const char* HostSession::getAttribute(const char* name)
{
    if (!name)
        return nullptr;
    auto it = attributes_.find(name);
    return it == attributes_.end() ? nullptr : it->second;
}

void HostSession::invalidate()
{
    valid_ = false;
    clearAttributes();
}

void HostSession::setMaxInactiveInterval(int seconds)
{
    timeout_ = seconds > 0 ? seconds : defaultTimeout_;
}

int64_t SessionStore::monotonicSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec);
}

SessionStore::SessionStore(Clock clock, int defaultTimeout, size_t capacity)
    : clock_(std::move(clock)), defaultTimeout_(defaultTimeout), capacity_(capacity ? capacity : 1)
{
}

std::string SessionStore::newId()
{
    unsigned char bytes[16];
    size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // A session id must never be guessable: refuse rather than fall
            // back to a weak source.
            throw std::runtime_error("getrandom failed");
        }
        got += static_cast<size_t>(n);
    }
    static const char kHex[] = "0123456789abcdef";
    std::string id;
    for (unsigned char byte : bytes) {
        id += kHex[byte >> 4];
        id += kHex[byte & 15];
    }
    return id;
}

HostSession* SessionStore::find(const std::string& id)
{
    auto it = sessions_.find(id);
    if (it == sessions_.end() || !it->second->valid())
        return nullptr;
    int64_t now = clock_();
    if (it->second->expired(now)) {
        sessions_.erase(it);
        return nullptr;
    }
    it->second->touch(now);
    return it->second.get();
}

void SessionStore::dropExpired(int64_t now)
{
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (it->second->valid() && it->second->expired(now))
            it = sessions_.erase(it);
        else
            ++it;
    }
}

HostSession* SessionStore::create()
{
    int64_t now = clock_();
    dropExpired(now);
    while (sessions_.size() >= capacity_) {
        auto oldest = sessions_.end();
        for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
            // Sessions invalidated in this request are still in use.
            if (!it->second->valid())
                continue;
            if (oldest == sessions_.end()) {
                oldest = it;
                continue;
            }
            bool emptier = !it->second->hasAttributes() && oldest->second->hasAttributes();
            bool sameKind = it->second->hasAttributes() == oldest->second->hasAttributes();
            if (emptier || (sameKind && it->second->lastAccess() < oldest->second->lastAccess()))
                oldest = it;
        }
        if (oldest == sessions_.end())
            break;
        if (oldest->second->hasAttributes())
            log_log(2, 4, "session store full, ending the longest idle session");
        sessions_.erase(oldest);
    }
    std::string id;
    do {
        id = newId();
    } while (sessions_.count(id));
    auto session = std::make_unique<HostSession>(id, defaultTimeout_, now);
    HostSession* result = session.get();
    sessions_.emplace(id, std::move(session));
    return result;
}

void SessionStore::endRequest()
{
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        if (!it->second->valid())
            it = sessions_.erase(it);
        else
            ++it;
    }
}
