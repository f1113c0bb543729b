#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A TCP relay on 127.0.0.1 between the benchmark's connections and the database server, as a
// network far from the server would be: every chunk of bytes is held half the round-trip time
// in each direction, in order. It also counts round trips: the times a client sent again after
// the server had answered it, which is each time the client waited for the server.
class LatencyRelay {
public:
    // Listens on a free port of 127.0.0.1 and relays to host:port; throws std::runtime_error when
    // it cannot listen.
    LatencyRelay(const std::string& host, int port, int roundTripMs);
    ~LatencyRelay();
    LatencyRelay(const LatencyRelay&) = delete;
    LatencyRelay& operator=(const LatencyRelay&) = delete;

    int port() const { return m_port; }
    // Round trips of all connections since the relay started.
    static std::uint64_t roundTrips();

private:
    struct Link;
    void acceptLoop();

    std::string m_host;
    int m_serverPort;
    int m_halfDelayUs;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop { false };
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<std::shared_ptr<Link>> m_links;
};
