#include "tests/support/buspeer.h"

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

BusPeer::BusPeer(const std::vector<std::string>& threads)
{
    bound_ = !threads.empty() && pipe2(wake_, O_CLOEXEC) == 0;
    for (const std::string& name : threads) {
        auto endpoint = std::make_unique<BusEndpoint>();
        bound_ = endpoint->bind(name) && bound_;
        endpoints_.push_back(std::move(endpoint));
    }
    if (bound_)
        thread_ = std::thread(&BusPeer::serve, this);
}

BusPeer::~BusPeer()
{
    if (thread_.joinable()) {
        char stop = 0;
        ssize_t ignored = write(wake_[1], &stop, 1);
        (void)ignored;
        thread_.join();
    }
    for (int fd : wake_) {
        if (fd >= 0)
            close(fd);
    }
}

void BusPeer::reply(unsigned int id, int result)
{
    std::lock_guard<std::mutex> guard(mutex_);
    table_[id] = result;
}

void BusPeer::silence(unsigned int id)
{
    std::lock_guard<std::mutex> guard(mutex_);
    table_[id] = std::nullopt;
}

void BusPeer::setHandler(Handler handler)
{
    std::lock_guard<std::mutex> guard(mutex_);
    handler_ = std::move(handler);
}

std::vector<BusMessage> BusPeer::messages() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_;
}

size_t BusPeer::count() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return messages_.size();
}

bool BusPeer::waitForCount(size_t count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return messages_.size() >= count; });
}

void BusPeer::clear()
{
    std::lock_guard<std::mutex> guard(mutex_);
    messages_.clear();
}

std::optional<int> BusPeer::answerFor(const BusMessage& message)
{
    Handler handler;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        if (!handler_) {
            auto found = table_.find(message.id);
            return found == table_.end() ? std::optional<int>(0) : found->second;
        }
        handler = handler_;
    }
    return handler(message);
}

void BusPeer::serve()
{
    std::vector<pollfd> fds;
    for (const auto& endpoint : endpoints_)
        fds.push_back({endpoint->fd(), POLLIN, 0});
    fds.push_back({wake_[0], POLLIN, 0});
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds.back().revents)
            return;
        for (size_t i = 0; i < endpoints_.size(); ++i) {
            BusMessage message;
            if (!fds[i].revents || !endpoints_[i]->receive(message, 0))
                continue;
            {
                std::lock_guard<std::mutex> guard(mutex_);
                bool repeated = message.kind == "broadcast" &&
                                !broadcastsSeen_.insert({message.senderPid, message.serial}).second;
                if (!repeated)
                    messages_.push_back(message);
            }
            changed_.notify_all();
            if (message.kind == "send") {
                if (std::optional<int> result = answerFor(message))
                    endpoints_[i]->reply(message, *result);
            }
        }
    }
}
