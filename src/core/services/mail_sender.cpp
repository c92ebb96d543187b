#include "core/services/mail_sender.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "core/platform/text.h"

namespace {

constexpr size_t kMaxFieldBytes = 259;  // fields 1 to 6 had 260-byte buffers
constexpr size_t kMaxLineBytes = 255;   // command lines had a 256-byte buffer
constexpr size_t kMaxHostName = 79;     // the local host name had 80 bytes

// The header template is stored in GBK and sent as stored whatever the locale:
// the display name is the four characters D3 D1 C7 E9 CC E1 CA BE.
constexpr char kHeaderFrom[] = "FROM:VELL\xD3\xD1\xC7\xE9\xCC\xE1\xCA\xBE<";

struct Request {
    std::array<std::u16string, 7> fields;
};

// Fields from the left, each ending at the next "|"; the body ends at one too.
Request SplitRequest(std::u16string_view text) {
    Request r;
    std::u16string_view rest = text;
    bool more = true;
    for (auto& field : r.fields) {
        if (!more)
            break;
        const size_t bar = rest.find(u'|');
        field.assign(rest.substr(0, bar));
        if (bar == std::u16string_view::npos) {
            more = false;
        } else {
            rest.remove_prefix(bar + 1);
        }
    }
    return r;
}

std::vector<std::string> SplitRecipients(const std::string& list) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t comma; (comma = list.find(',', start)) != std::string::npos; start = comma + 1) {
        out.push_back(list.substr(start, comma - start));
    }
    out.push_back(list.substr(start));  // the last one is sent even when empty
    return out;
}

// A body line that begins with "." would end the message early: double the dot.
std::string DotStuff(const std::string& body) {
    std::string out;
    out.reserve(body.size() + 8);
    bool lineStart = true;
    for (char c : body) {
        if (lineStart && c == '.')
            out += '.';
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

class Connection {
public:
    explicit Connection(const MailOptions& o) : m_options(o) {}
    ~Connection() {
        if (m_fd >= 0)
            close(m_fd);
    }

    bool Connect(const std::string& host) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0 || !list)
            return false;
        sockaddr_in address{};
        for (addrinfo* a = list; a; a = a->ai_next) {
            address = *reinterpret_cast<sockaddr_in*>(a->ai_addr);  // the last one is used
        }
        freeaddrinfo(list);
        address.sin_port = htons(static_cast<uint16_t>(m_options.port));
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (m_fd < 0)
            return false;
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS || !Wait(POLLOUT, m_options.connectTimeoutMs))
                return false;
            int error = 0;
            socklen_t len = sizeof error;
            if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &len) != 0 || error != 0)
                return false;
        }
        return true;
    }

    bool Send(const std::string& bytes) {
        ++m_unanswered;
        return SendRaw(bytes);
    }

    bool SendRaw(const std::string& bytes) {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                if (!Wait(POLLOUT, m_options.readTimeoutMs))
                    return false;
            } else {
                return false;
            }
        }
        return true;
    }

    // Reads the replies to every command sent since the last read and returns
    // the last of them ("" when the connection failed or timed out). Waiting for
    // all of them keeps each reply matched to its command: a server that answers
    // line by line would otherwise hand an earlier reply to a later check.
    std::string ReadReplies() {
        const int expected = m_unanswered > 0 ? m_unanswered : 1;
        m_unanswered = 0;
        std::string last;
        for (int i = 0; i < expected; ++i) {
            last = ReadReply();
            if (last.empty())
                return {};
        }
        return last;
    }

private:
    // One reply: lines until one whose code is not followed by "-". The time-out
    // and a length cap bound the whole reply, so a server that trickles bytes or
    // sends continuation lines without end cannot hold the Player.
    std::string ReadReply() {
        static constexpr size_t kMaxReply = 16 * 1024;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.readTimeoutMs);
        std::string reply;
        for (;;) {
            const size_t eol = m_buffer.find("\r\n");
            if (eol != std::string::npos) {
                const std::string line = m_buffer.substr(0, eol + 2);
                m_buffer.erase(0, eol + 2);
                reply += line;
                if (line.size() < 4 || line[3] != '-')
                    return reply;
                if (reply.size() > kMaxReply)
                    return {};
                continue;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (reply.size() + m_buffer.size() > kMaxReply || left.count() <= 0 ||
                !Wait(POLLIN, static_cast<int>(left.count())))
                return {};
            char chunk[256];
            const ssize_t n = recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0) {
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                return {};
            }
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

    bool Wait(short events, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{m_fd, events, 0};
            const int r = poll(&p, 1, static_cast<int>(left.count()));
            if (r > 0)
                return true;
            if (r < 0 && errno != EINTR)
                return false;
        }
    }

    MailOptions m_options;
    int m_fd = -1;
    int m_unanswered = 0;
    std::string m_buffer;
};

bool Begins(const std::string& reply, const char* code) {
    return reply.compare(0, 3, code) == 0;
}

bool HasLineBreak(const std::u16string& s) {
    return s.find_first_of(u"\r\n") != std::u16string::npos;
}

}  // namespace

int SendMail(std::u16string_view request) {
    return SendMail(request, MailOptions{});
}

int SendMail(std::u16string_view requestText, const MailOptions& options) {
    const Request request = SplitRequest(requestText);
    std::array<std::string, 6> ansi;
    for (size_t i = 0; i < 6; ++i) {
        // A line break in a field would smuggle commands into the dialogue.
        if (HasLineBreak(request.fields[i]))
            return 0;
        ansi[i] = platform::ToAnsi(request.fields[i]);
        if (ansi[i].size() > kMaxFieldBytes)
            return 0;
    }
    const auto& [server, user, password, from, recipients, subject] = ansi;
    char hostName[kMaxHostName + 1] = {};
    gethostname(hostName, kMaxHostName);

    // Every command line is known before connecting: one that would not fit is
    // refused before anything is sent, rather than cut.
    std::vector<std::string> lines = {std::string("HELO ") + hostName + "\r\n", "AUTH LOGIN\r\n",
                                      user + "\r\n", password + "\r\n",
                                      "MAIL FROM:<" + from + ">\r\n"};
    for (const auto& r : SplitRecipients(recipients))
        lines.push_back("RCPT TO:<" + r + ">\r\n");
    for (const auto& line : lines) {
        if (line.size() > kMaxLineBytes)
            return 0;
    }
    const std::string header = std::string(kHeaderFrom) + from + ">\r\nTO:" + recipients +
                               "\r\nSubject:" + subject + "\r\nContent-Type:text/plain\r\n";
    const std::string body = DotStuff(platform::ToAnsi(request.fields[6]));

    Connection c(options);
    if (!c.Connect(server))
        return 0;
    if (!Begins(c.ReadReplies(), "220"))
        return 0;
    if (!c.Send(lines[0]) || !Begins(c.ReadReplies(), "250"))
        return 0;
    c.Send(lines[1]);
    c.Send(lines[2]);
    c.ReadReplies();  // not examined
    if (!c.Send(lines[3]) || !Begins(c.ReadReplies(), "235"))
        return 0;
    for (size_t i = 4; i < lines.size(); ++i)
        c.Send(lines[i]);
    c.Send("DATA\r\n");
    c.ReadReplies();  // not examined
    c.SendRaw(header);
    c.SendRaw(body);
    c.Send("\r\n.\r\n");
    const int result = Begins(c.ReadReplies(), "250") ? 1 : 0;
    c.SendRaw("QUIT\r\n");
    return result;
}
