#include "latencyrelay.h"

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::atomic<std::uint64_t> g_roundTrips { 0 };
using Clock = std::chrono::steady_clock;

// Bytes read from one side, to be written to the other once they are due; an empty chunk with
// `end` set stands for the side having closed.
struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
    bool end = false;
};

// One direction of a link: what the reader took and the writer has yet to pass on, in order.
struct Pipe {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Chunk> chunks;

    void push(Chunk chunk)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            chunks.push_back(std::move(chunk));
        }
        ready.notify_one();
    }
    Chunk pop()
    {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [this] { return !chunks.empty(); });
        Chunk chunk = std::move(chunks.front());
        chunks.pop_front();
        return chunk;
    }
};

void noDelay(int fd)
{
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

bool sendAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data += sent;
        size -= size_t(sent);
    }
    return true;
}

int connectTo(const std::string& host, int port)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo* a = found; a && fd < 0; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (fd >= 0 && ::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    if (fd >= 0)
        noDelay(fd);
    return fd;
}

} // namespace

// One client connection and its connection to the server: a reader and a writer per direction.
struct LatencyRelay::Link {
    int client = -1;
    int server = -1;
    Pipe up; // client to server
    Pipe down; // server to client
    // the server has answered since the client last sent: the client's next bytes are a new
    // round trip (the server speaks first, with its greeting)
    std::atomic<bool> answered { false };
    std::thread threads[4];

    ~Link()
    {
        for (std::thread& t : threads) {
            if (t.joinable())
                t.join();
        }
        ::close(client);
        ::close(server);
    }

    void read(int from, Pipe& to, bool fromClient, int halfDelayUs)
    {
        std::vector<char> buffer(65536);
        for (;;) {
            const ssize_t got = ::recv(from, buffer.data(), buffer.size(), 0);
            if (got <= 0) {
                to.push({ Clock::now(), {}, true });
                return;
            }
            if (fromClient) {
                if (answered.exchange(false))
                    ++g_roundTrips;
            } else {
                answered = true;
            }
            to.push({ Clock::now() + std::chrono::microseconds(halfDelayUs),
                std::vector<char>(buffer.data(), buffer.data() + got), false });
        }
    }

    static void write(Pipe& from, int to)
    {
        bool open = true;
        for (;;) {
            Chunk chunk = from.pop();
            if (chunk.end) {
                ::shutdown(to, SHUT_WR);
                return;
            }
            std::this_thread::sleep_until(chunk.due);
            // once the other side is gone, what is left is read and dropped
            if (open)
                open = sendAll(to, chunk.bytes.data(), chunk.bytes.size());
        }
    }
};

LatencyRelay::LatencyRelay(const std::string& host, int port, int roundTripMs)
    : m_host(host)
    , m_serverPort(port)
    , m_halfDelayUs(roundTripMs * 500)
{
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 128) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the latency relay cannot listen on 127.0.0.1");
    m_port = ntohs(address.sin_port);
    m_acceptor = std::thread([this] { acceptLoop(); });
}

LatencyRelay::~LatencyRelay()
{
    m_stop = true;
    ::shutdown(m_listener, SHUT_RDWR);
    ::close(m_listener);
    m_acceptor.join();
    const std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto& link : m_links) {
        ::shutdown(link->client, SHUT_RDWR);
        ::shutdown(link->server, SHUT_RDWR);
    }
    m_links.clear();
}

std::uint64_t LatencyRelay::roundTrips()
{
    return g_roundTrips.load();
}

void LatencyRelay::acceptLoop()
{
    while (!m_stop) {
        const int client = ::accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        noDelay(client);
        const int server = connectTo(m_host, m_serverPort);
        if (server < 0) {
            ::close(client);
            continue;
        }
        auto link = std::make_shared<Link>();
        link->client = client;
        link->server = server;
        Link* l = link.get();
        const int half = m_halfDelayUs;
        l->threads[0] = std::thread([l, half] { l->read(l->client, l->up, true, half); });
        l->threads[1] = std::thread([l] { Link::write(l->up, l->server); });
        l->threads[2] = std::thread([l, half] { l->read(l->server, l->down, false, half); });
        l->threads[3] = std::thread([l] { Link::write(l->down, l->client); });
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_links.push_back(std::move(link));
    }
}
