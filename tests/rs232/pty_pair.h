#pragma once
// A pseudo-terminal standing in for a serial line: the test holds the master side, the serial
// service opens the slave through TLX1_COM<n>.
#include <chrono>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0)
            slave_ = ptsname(master_);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool Ok() const { return master_ >= 0 && !slave_.empty(); }
    int Master() const { return master_; }
    const std::string &Slave() const { return slave_; }

    // Points COM `port` at the slave side.
    void MapTo(int port) const
    {
        setenv(("TLX1_COM" + std::to_string(port)).c_str(), slave_.c_str(), 1);
    }

    void Write(std::string_view bytes) const
    {
        if (write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            std::abort();
    }

    // Bytes arriving from the slave side until `stop` is seen or `seconds` pass.
    std::string Read(double seconds, char stop = '\r') const
    {
        std::string got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd pfd{master_, POLLIN, 0};
            if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                return got;
            char c = 0;
            if (read(master_, &c, 1) != 1)
                return got;
            got += c;
            if (c == stop)
                return got;
        }
    }

    void CloseMaster()
    {
        if (master_ >= 0)
            close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string slave_;
};
