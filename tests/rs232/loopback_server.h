#pragma once
// A device server on 127.0.0.1 for the network transports: it echoes every data byte it receives,
// raw or as a small RFC 2217 server that confirms the line settings it is asked for (or reports
// other data bits, or refuses the COM port option altogether). The port is chosen by the system.
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

class LoopbackServer {
public:
    enum class Art { Roh, Rfc2217, Rfc2217Datenbits8, OhneComport };

    explicit LoopbackServer(Art art) : art_(art)
    {
        lauscher_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t laenge = sizeof a;
        if (bind(lauscher_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(lauscher_, 4) != 0 ||
            getsockname(lauscher_, reinterpret_cast<sockaddr *>(&a), &laenge) != 0)
            return;
        port_ = ntohs(a.sin_port);
        faden_ = std::thread([this] { Laufen(); });
    }
    ~LoopbackServer()
    {
        ende_ = true;
        if (faden_.joinable())
            faden_.join();
        close(lauscher_);
    }
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    std::string Adresse() const
    {
        return std::string(art_ == Art::Roh ? "tcp" : "rfc2217") + "://127.0.0.1:" + std::to_string(port_);
    }
    // Ends the current connection from the server's side, as a device server that goes away.
    void Auflegen() { auflegen_ = true; }

private:
    static constexpr unsigned char IAC = 255, SB = 250, SE = 240, WILL = 251, DO = 253, DONT = 254;

    void Senden(int fd, const std::string &s) { (void)!send(fd, s.data(), s.size(), MSG_NOSIGNAL); }

    // Answers one COM port control command with the setting the server now has.
    std::string Antwort(unsigned char befehl, std::string wert) const
    {
        if (befehl == 2 && art_ == Art::Rfc2217Datenbits8)
            wert = "\x08";
        return std::string{char(IAC), char(SB), 44, char(befehl + 100)} + wert + std::string{char(IAC), char(SE)};
    }

    void Bedienen(int fd)
    {
        if (art_ == Art::Rfc2217 || art_ == Art::Rfc2217Datenbits8)
            Senden(fd, {char(IAC), char(DO), 44, char(IAC), char(WILL), 0, char(IAC), char(DO), 0});
        enum { Daten, Iac, Option, Sub, SubIac } stand = Daten;
        std::string sub;
        while (!ende_ && !auflegen_) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            unsigned char roh[256];
            const ssize_t n = recv(fd, roh, sizeof roh, 0);
            if (n <= 0)
                return;
            std::string echo;
            for (ssize_t i = 0; i < n; ++i) {
                const unsigned char c = roh[i];
                if (art_ == Art::Roh) {
                    echo += char(c);
                    continue;
                }
                switch (stand) {
                case Daten:
                    if (c == IAC)
                        stand = Iac;
                    else
                        echo += char(c);
                    break;
                case Iac:
                    stand = c == IAC ? Daten : c == SB ? Sub : c >= WILL ? Option : Daten;
                    if (c == IAC)
                        echo += std::string{char(IAC), char(IAC)};
                    sub.clear();
                    break;
                case Option:
                    if (c == 44 && art_ == Art::OhneComport)
                        Senden(fd, {char(IAC), char(DONT), 44});
                    stand = Daten;
                    break;
                case Sub:
                    if (c == IAC)
                        stand = SubIac;
                    else
                        sub += char(c);
                    break;
                case SubIac:
                    stand = c == SE ? Daten : Sub;
                    if (c == IAC)
                        sub += char(c);
                    else if (sub.size() >= 2 && static_cast<unsigned char>(sub[0]) == 44)
                        Senden(fd, Antwort(static_cast<unsigned char>(sub[1]), sub.substr(2)));
                    break;
                }
            }
            if (!echo.empty())
                Senden(fd, echo);
        }
    }

    void Laufen()
    {
        while (!ende_) {
            pollfd p{lauscher_, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const int fd = accept4(lauscher_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            Bedienen(fd);
            close(fd);
            auflegen_ = false;
        }
    }

    Art art_;
    int lauscher_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> ende_{false}, auflegen_{false};
    std::thread faden_;
};
