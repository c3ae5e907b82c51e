// Sessions of the web interface: a random id in a cookie, attributes owned by
// the session, an idle time-out. Expired sessions are dropped lazily, when a
// lookup meets them or a new session is made.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "frame/http.h"

class HostSession final : public HttpSession {
public:
    HostSession(std::string id, int timeoutSeconds, int64_t now);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    void setAttribute(const char* name, char* value) override;
    const char* getAttribute(const char* name) override;
    void invalidate() override;
    // Seconds of idleness before the session ends; 0 or less keeps the
    // default, so that no session lives for ever.
    void setMaxInactiveInterval(int seconds) override;

    const std::string& id() const { return id_; }
    bool valid() const { return valid_; }
    bool expired(int64_t now) const { return now - lastAccess_ > timeout_; }
    void touch(int64_t now) { lastAccess_ = now; }
    int64_t lastAccess() const { return lastAccess_; }
    int timeout() const { return timeout_; }
    bool hasAttributes() const { return !attributes_.empty(); }

private:
    void clearAttributes();

    std::string id_;
    int defaultTimeout_;
    int timeout_;
    int64_t lastAccess_;
    bool valid_ = true;
    std::map<std::string, char*> attributes_;  // values freed with free()
};

class SessionStore {
public:
    // Seconds from a clock that never goes back (the phone's wall clock can
    // be set by the user).
    using Clock = std::function<int64_t()>;
    static int64_t monotonicSeconds();

    static constexpr int kDefaultTimeout = 600;
    static constexpr size_t kDefaultCapacity = 256;

    explicit SessionStore(Clock clock = monotonicSeconds, int defaultTimeout = kDefaultTimeout,
                          size_t capacity = kDefaultCapacity);

    // The live session with that id, marked as used now; null when unknown,
    // expired or invalidated.
    HostSession* find(const std::string& id);
    // A new session with a fresh random id. When the store is full the
    // longest idle session makes room, one without attributes first, so that
    // a flood of requests without a cookie does not log anybody out.
    HostSession* create();
    // Called when a request ends: forgets the sessions invalidated during it
    // (they stay usable as objects until then).
    void endRequest();
    size_t size() const { return sessions_.size(); }

    // 32 hex digits from 16 random bytes.
    static std::string newId();

private:
    void dropExpired(int64_t now);

    Clock clock_;
    int defaultTimeout_;
    size_t capacity_;
    std::map<std::string, std::unique_ptr<HostSession>> sessions_;
};
