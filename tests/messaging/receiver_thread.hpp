// A receiver on a thread of its own with a poll loop, as a viewer's event loop would run it.
#pragma once

#include "tw/messaging/receiver.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tw::testing {

using tw::messaging::EnvelopeReceiver;

class ReceiverThread {
public:
    explicit ReceiverThread(std::string caption) {
        EXPECT_EQ(::pipe2(m_stop, O_CLOEXEC), 0);
        std::string error;
        const bool ok = m_receiver.Listen(caption, [this](std::string_view e) {
            std::lock_guard lock(m_mutex);
            m_envelopes.emplace_back(e);
            ++m_handled;
        }, &error);
        EXPECT_TRUE(ok) << error;
        m_thread = std::thread([this] { Run(); });
    }
    ~ReceiverThread() { Stop(); }

    void Stop() {
        if (!m_thread.joinable()) return;
        const char c = 1;
        EXPECT_EQ(::write(m_stop[1], &c, 1), 1);
        m_thread.join();
        m_receiver.Close();
        ::close(m_stop[0]);
        ::close(m_stop[1]);
    }
    std::vector<std::string> envelopes() {
        std::lock_guard lock(m_mutex);
        return m_envelopes;
    }
    int handled() const { return m_handled.load(); }
    // Waits until the receiver holds exactly n client connections (as of its last pass).
    bool WaitForConnections(std::size_t n, std::chrono::milliseconds limit) {
        std::unique_lock lock(m_mutex);
        return m_passed.wait_for(lock, limit, [&] { return m_connections == n; });
    }
    // Only after Stop().
    const EnvelopeReceiver& receiver() const { return m_receiver; }

private:
    void Run() {
        for (;;) {
            pollfd fds[2] = {{m_receiver.WatchFd(), POLLIN, 0}, {m_stop[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents) return;
            if (fds[0].revents) {
                m_receiver.ProcessEvents();
                std::lock_guard lock(m_mutex);
                m_connections = m_receiver.ConnectionCount();
                m_passed.notify_all();
            }
        }
    }

    EnvelopeReceiver m_receiver;
    int m_stop[2] = {-1, -1};
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::string> m_envelopes;
    std::atomic<int> m_handled{0};
    std::condition_variable m_passed;
    std::size_t m_connections = 0;
};

}  // namespace tw::testing
