// A small HTTP/1.1 server on 127.0.0.1 for download tests: one connection at a
// time, generated bodies of a given size, optional throttling and a cut-off
// body. Unknown paths get 404. Stops in its destructor.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct HttpRoute
{
    int status = 200;
    uint64_t bodySize = 0;
    // Bytes actually sent before the connection closes; by default the whole body.
    uint64_t sentSize = UINT64_MAX;
    size_t chunkSize = 65536;
    int chunkDelayMs = 0;
    // Without it the body's end is the connection's close.
    bool announceLength = true;
    std::string head = "GGUF"; // the first bytes of every chunk: a GGUF file's magic
};

class LocalHttpServer
{
public:
    LocalHttpServer()
    {
        listenFd = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0;
        bind(listenFd, (sockaddr*)&addr, sizeof(addr));
        listen(listenFd, 8);
        socklen_t len = sizeof(addr);
        getsockname(listenFd, (sockaddr*)&addr, &len);
        port = ntohs(addr.sin_port);
        thread = std::thread([this] { Run(); });
    }

    ~LocalHttpServer()
    {
        stop = true;
        thread.join();
        close(listenFd);
    }

    void AddRoute(const std::string& path, const HttpRoute& route)
    {
        std::lock_guard<std::mutex> lock(mutex);
        routes[path] = route;
    }

    std::string BaseUrl() const { return "http://127.0.0.1:" + std::to_string(port); }
    int RequestCount() const { return requests.load(); }

    // A port on 127.0.0.1 where nothing listens.
    static int RefusingPort()
    {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd, (sockaddr*)&addr, sizeof(addr));
        socklen_t len = sizeof(addr);
        getsockname(fd, (sockaddr*)&addr, &len);
        close(fd);
        return ntohs(addr.sin_port);
    }

private:
    void Run()
    {
        // Bounded in count and time: at most 64 connections, never past stop.
        for (int served = 0; !stop && served < 64;)
        {
            pollfd p{listenFd, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0)
                continue;
            int fd = accept(listenFd, nullptr, nullptr);
            if (fd < 0)
                continue;
            served++;
            Serve(fd);
            close(fd);
        }
    }

    void Serve(int fd)
    {
        timeval tv{5, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
        std::string request;
        char buf[2048];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536)
        {
            ssize_t n = recv(fd, buf, sizeof(buf), 0);
            if (n <= 0)
                return;
            request.append(buf, (size_t)n);
        }
        requests++;
        const size_t sp1 = request.find(' ');
        const size_t sp2 = request.find(' ', sp1 + 1);
        const std::string path = sp1 == std::string::npos ? "" : request.substr(sp1 + 1, sp2 - sp1 - 1);
        HttpRoute route;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto it = routes.find(path);
            if (it == routes.end())
            {
                route.status = 404;
                route.head = "Not found";
                route.bodySize = 9;
            }
            else
                route = it->second;
        }
        const std::string header =
            "HTTP/1.1 " + std::to_string(route.status) + (route.status == 200 ? " OK" : " Error") +
            "\r\nContent-Type: application/octet-stream\r\n" +
            (route.announceLength ? "Content-Length: " + std::to_string(route.bodySize) + "\r\n" : std::string()) +
            "Connection: close\r\n\r\n";
        if (!SendAll(fd, header.data(), header.size()))
            return;
        const uint64_t to_send = route.sentSize < route.bodySize ? route.sentSize : route.bodySize;
        std::vector<char> chunk(route.chunkSize);
        for (size_t i = 0; i < chunk.size(); i++)
            chunk[i] = (char)('a' + i % 26);
        route.head.copy(chunk.data(), std::min(route.head.size(), chunk.size()));
        for (uint64_t sent = 0; sent < to_send && !stop;)
        {
            const size_t n = (size_t)std::min<uint64_t>(chunk.size(), to_send - sent);
            if (!SendAll(fd, chunk.data(), n))
                return;
            sent += n;
            if (route.chunkDelayMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(route.chunkDelayMs));
        }
    }

    static bool SendAll(int fd, const char* data, size_t size)
    {
        while (size > 0)
        {
            ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            data += n;
            size -= (size_t)n;
        }
        return true;
    }

    int listenFd = -1;
    int port = 0;
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::mutex mutex;
    std::map<std::string, HttpRoute> routes;
    std::thread thread;
};
