#include "core/services/mail_sender.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "core/platform/text.h"
#include "support/test_support.h"

namespace {

int ListenOnFreePort(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
    listen(fd, 4);
    return fd;
}

// A server that answers by a script and records every byte it receives.
class ScriptedServer {
public:
    enum class Mode { Normal, Silent, CloseAfterHelo };

    explicit ScriptedServer(std::string greeting = "220 ready\r\n", Mode mode = Mode::Normal,
                            std::string passwordReply = "235 ok\r\n")
        : m_greeting(std::move(greeting)), m_mode(mode), m_passwordReply(std::move(passwordReply)) {
        m_listen = ListenOnFreePort(m_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedServer() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        close(m_listen);
    }
    int port() const { return m_port; }
    // Everything received, once the client has gone: what it sent last (QUIT)
    // is read to the end before the server stops.
    std::string Received() {
        m_draining = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_received;
    }
    bool connected() const { return m_connected; }

private:
    void Serve() {
        pollfd p{m_listen, POLLIN, 0};
        while (!m_stop && poll(&p, 1, 50) == 0) {
        }
        if (m_stop)
            return;
        const int c = accept(m_listen, nullptr, nullptr);
        m_connected = true;
        Write(c, m_greeting);
        std::string pending;
        bool inData = false;
        int lineNo = 0;
        while (!m_stop) {
            pollfd q{c, POLLIN, 0};
            if (poll(&q, 1, 50) == 0) {
                if (m_draining)
                    break;
                continue;
            }
            char buf[512];
            const ssize_t n = recv(c, buf, sizeof buf, 0);
            if (n <= 0)
                break;
            m_received.append(buf, static_cast<size_t>(n));
            pending.append(buf, static_cast<size_t>(n));
            if (m_mode == Mode::Silent)
                continue;
            for (size_t eol; (eol = pending.find("\r\n")) != std::string::npos;) {
                const std::string line = pending.substr(0, eol);
                pending.erase(0, eol + 2);
                if (inData) {
                    if (line == ".") {
                        inData = false;
                        Write(c, "250 queued\r\n");
                    }
                    continue;
                }
                ++lineNo;
                if (m_mode == Mode::CloseAfterHelo && lineNo == 2) {
                    close(c);
                    return;
                }
                if (line.rfind("AUTH", 0) == 0 || lineNo == 3) {
                    Write(c, "334 VXNlcm5hbWU6\r\n");
                } else if (lineNo == 4) {
                    Write(c, m_passwordReply);
                } else if (line == "DATA") {
                    Write(c, "354 go\r\n");
                    inData = true;
                } else {
                    Write(c, "250 ok\r\n");
                }
            }
        }
        close(c);
    }
    static void Write(int c, const std::string& s) { send(c, s.data(), s.size(), MSG_NOSIGNAL); }

    std::string m_greeting;
    Mode m_mode;
    std::string m_passwordReply;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_draining{false};
    std::atomic<bool> m_connected{false};
    std::string m_received;
    std::thread m_thread;
};

std::vector<std::string> Lines(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t eol; (eol = s.find("\r\n", start)) != std::string::npos; start = eol + 2) {
        out.push_back(s.substr(start, eol - start));
    }
    if (start < s.size())
        out.push_back(s.substr(start));
    return out;
}

std::string HostName() {
    char name[80] = {};
    gethostname(name, 79);
    return name;
}

MailOptions On(int port) {
    return {port, 2000, 2000};
}

constexpr char kHeaderFrom[] = "FROM:VELL\xD3\xD1\xC7\xE9\xCC\xE1\xCA\xBE<";

}  // namespace

TEST(MailDialogue, SendsTheLinesInOrder) {
    ScriptedServer server;
    EXPECT_EQ(
        SendMail(u"127.0.0.1|dXNlcg==|cGFzcw==|a@x.org|b@y.org|Hi|Body line", On(server.port())),
        1);
    const auto lines = Lines(server.Received());
    const std::vector<std::string> expected = {"HELO " + HostName(),
                                               "AUTH LOGIN",
                                               "dXNlcg==",
                                               "cGFzcw==",
                                               "MAIL FROM:<a@x.org>",
                                               "RCPT TO:<b@y.org>",
                                               "DATA",
                                               std::string(kHeaderFrom) + "a@x.org>",
                                               "TO:b@y.org",
                                               "Subject:Hi",
                                               "Content-Type:text/plain",
                                               "Body line",
                                               ".",
                                               "QUIT"};
    EXPECT_EQ(lines, expected);
}

TEST(MailDialogue, RecipientsAndFieldSplitting) {
    ScriptedServer server;
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|a@x,b@y,|s|body|cut here", On(server.port())), 1);
    const auto lines = Lines(server.Received());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RCPT TO:<a@x>"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RCPT TO:<b@y>"), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "RCPT TO:<>"), 1);  // after the trailing comma
    EXPECT_NE(std::find(lines.begin(), lines.end(), "TO:a@x,b@y,"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "body"), lines.end());  // cut at its "|"
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "cut here"), lines.end());

    ScriptedServer few;
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f", On(few.port())), 1);
    const auto short_ = Lines(few.Received());
    EXPECT_NE(std::find(short_.begin(), short_.end(), "RCPT TO:<>"), short_.end());
    EXPECT_NE(std::find(short_.begin(), short_.end(), "Subject:"), short_.end());
}

TEST(MailDialogue, BodyLinesStartingWithADotAreStuffed) {
    ScriptedServer server;
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|one\r\n.\r\nQUIT\r\n.two", On(server.port())), 1);
    const auto lines = Lines(server.Received());
    const auto body = std::find(lines.begin(), lines.end(), "one");
    ASSERT_NE(body, lines.end());
    EXPECT_EQ(*(body + 1), "..");
    EXPECT_EQ(*(body + 2), "QUIT");  // still inside the message
    EXPECT_EQ(*(body + 3), "..two");
    EXPECT_EQ(*(body + 4), ".");
}

TEST(MailDialogue, LineBreaksInFieldsAndOversizedFieldsAreRefusedUnsent) {
    for (const std::u16string& request : std::vector<std::u16string>{
             u"127.0.0.1|u|p|a@x\r\nRCPT TO:<evil@z>|t|s|b", u"127.0.0.1|u|p|f|t|Subject\nBcc: x|b",
             u"127.0.0.1|u|p|" + std::u16string(260, u'a') + u"|t|s|b",
             u"127.0.0.1|u|p|" + std::u16string(245, u'a') + u"|t|s|b"}) {
        ScriptedServer server;
        EXPECT_EQ(SendMail(request, On(server.port())), 0);
        EXPECT_FALSE(server.connected());
    }
}

TEST(MailFaults, GreetingOtherThan220SendsNothing) {
    ScriptedServer server("421 busy\r\n");
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", On(server.port())), 0);
    EXPECT_EQ(server.Received(), "");
}

TEST(MailFaults, RefusedPasswordStopsBeforeMailFrom) {
    ScriptedServer server("220 ready\r\n", ScriptedServer::Mode::Normal, "535 no\r\n");
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", On(server.port())), 0);
    const std::string received = server.Received();
    EXPECT_NE(received.find("p\r\n"), std::string::npos);
    EXPECT_EQ(received.find("MAIL FROM"), std::string::npos);
    EXPECT_EQ(received.find("QUIT"), std::string::npos);
}

TEST(MailFaults, ASilentServerTimesOut) {
    ScriptedServer server("220 ready\r\n", ScriptedServer::Mode::Silent);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", {server.port(), 1000, 500}), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
}

namespace {

// A server that sends `piece` every `everyMs` and never finishes a reply.
class TricklingServer {
public:
    TricklingServer(std::string piece, int everyMs) {
        m_listen = ListenOnFreePort(m_port);
        m_thread = std::thread([this, piece, everyMs] {
            pollfd p{m_listen, POLLIN, 0};
            while (!m_stop && poll(&p, 1, 50) == 0) {
            }
            if (m_stop)
                return;
            const int c = accept(m_listen, nullptr, nullptr);
            while (!m_stop && send(c, piece.data(), piece.size(), MSG_NOSIGNAL) > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
            close(c);
        });
    }
    ~TricklingServer() {
        m_stop = true;
        m_thread.join();
        close(m_listen);
    }
    int port() const { return m_port; }

private:
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace

// The reply time-out bounds a whole reply, however the server spreads it out.
TEST(MailFaults, ATricklingServerTimesOut) {
    for (const auto& [piece, everyMs] : {std::pair<std::string, int>{"2", 300},
                                         std::pair<std::string, int>{"220-more to come\r\n", 50}}) {
        SCOPED_TRACE(piece);
        TricklingServer server(piece, everyMs);
        const auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", {server.port(), 1000, 1000}), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    }
}

TEST(MailFaults, AServerThatClosesMidDialogue) {
    ScriptedServer server("220 ready\r\n", ScriptedServer::Mode::CloseAfterHelo);
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", On(server.port())), 0);
    EXPECT_EQ(SendMail(u"nonexistent.invalid|u|p|f|t|s|b", On(server.port())), 0);
    int port = 0;
    const int fd = ListenOnFreePort(port);
    close(fd);  // nobody listens there now
    EXPECT_EQ(SendMail(u"127.0.0.1|u|p|f|t|s|b", On(port)), 0);
}

namespace {

// aiosmtpd in a child process.
class RealServer {
public:
    RealServer() {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            execl("/usr/bin/python3", "python3", SMTP_SERVER_SCRIPT, (m_dir / "mail.jsonl").c_str(),
                  nullptr);
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        m_stdin = in[1];
        // The server prints the port it listens on once it accepts connections.
        std::string line;
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0 &&
               read(out[0], &c, 1) == 1) {
            line += c;
        }
        close(out[0]);
        m_port = std::atoi(line.c_str());
        m_ready = m_port > 0;
    }
    ~RealServer() {
        if (m_stdin >= 0)
            close(m_stdin);
        if (m_pid > 0)
            waitpid(m_pid, nullptr, 0);
    }
    bool ready() const { return m_ready; }
    int port() const { return m_port; }
    std::string Received() const { return test::ReadFile(m_dir / "mail.jsonl"); }

private:
    test::TempDir m_dir;
    int m_port = 0;
    pid_t m_pid = -1;
    int m_stdin = -1;
    bool m_ready = false;
};

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

TEST(MailRealServer, DeliversEnvelopeHeadersAndBody) {
    RealServer server;
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(
        SendMail(
            u"127.0.0.1|dXNlcg==|cGFzcw==|a@x.org|b@y.org,c@y.org|Report|line 1\r\n.\r\nline 3",
            On(server.port())),
        1);
    const std::string got = server.Received();
    EXPECT_NE(got.find("\"from\": \"a@x.org\""), std::string::npos) << got;
    EXPECT_NE(got.find("\"to\": [\"b@y.org\", \"c@y.org\"]"), std::string::npos) << got;
    const std::string header =
        std::string(kHeaderFrom) +
        "a@x.org>\r\nTO:b@y.org,c@y.org\r\nSubject:Report\r\nContent-Type:text/plain\r\n";
    EXPECT_NE(got.find(Hex(header + "line 1\r\n.\r\nline 3")), std::string::npos) << got;
}

TEST(MailRealServer, WrongPasswordIsRefused) {
    RealServer server;
    ASSERT_TRUE(server.ready());
    EXPECT_EQ(SendMail(u"127.0.0.1|dXNlcg==|d3Jvbmc=|a@x.org|b@y.org|s|b", On(server.port())), 0);
    EXPECT_EQ(server.Received(), "");
}
