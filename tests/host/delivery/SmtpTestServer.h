// The tests' real mail server: smtp_test_server.py (aiosmtpd) on 127.0.0.1 in a process of its
// own, with a certificate made at start, and the mails it received as a mail reader sees them.
#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace morvid::test {

// A port nothing listens on at the moment of asking.
int FreeLoopbackPort();

struct TSmtpServerOptions {
    std::string Security = "starttls"; // "starttls", "tls", "none"
    std::string CertNames = "IP:127.0.0.1,DNS:localhost";
    std::string User{}; // "user:password" for AUTH; empty: none
    std::vector<std::string> Reject{};
    bool StallFirst{false};
    std::string Answer{}; // as TSmtpTestServer::Answer, from the start
};

// A received mail: every "key: value" line of its summary, in order, keys repeated.
using TReceivedMail = std::multimap<std::string, std::string>;

std::vector<std::string> Values(const TReceivedMail& mail, const std::string& key);
std::string Value(const TReceivedMail& mail, const std::string& key);

class TSmtpTestServer {
public:
    // Starts the server on `port` with `folder` for its certificate and mails; returns once it
    // accepts connections. Raises std::runtime_error when it does not start.
    TSmtpTestServer(int port, std::string folder, TSmtpServerOptions options = {});
    ~TSmtpTestServer();
    TSmtpTestServer(const TSmtpTestServer&) = delete;
    TSmtpTestServer& operator=(const TSmtpTestServer&) = delete;

    int Port() const noexcept { return FPort; }
    std::string CaFile() const { return FFolder + "/ca.pem"; }
    // The mails received so far, in the order they came.
    std::vector<TReceivedMail> Received() const;
    // From now on the end of each mail's data gets `reply` ("451 4.3.0 Try later") and the mail
    // is not taken; an empty reply takes mails again.
    void Answer(const std::string& reply) const;
    // How many mails came with each Message-ID.
    std::map<std::string, int> MessageIds() const;
    // Waits (up to a minute) until `count` mails came; false if they did not.
    bool WaitForMails(std::size_t count) const;

private:
    int FPort;
    std::string FFolder;
    pid_t FPid = -1;
    int FReady = -1;
};

} // namespace morvid::test
