#pragma once
// Sends one plain-text e-mail over SMTP with AUTH LOGIN, synchronously. The
// request is "server|user|password|from|recipients|subject|body"; the user and
// password lines go out as given (the caller supplies them in Base64).

#include <string_view>

struct MailOptions {
    int port = 25;
    int connectTimeoutMs = 15'000;
    int readTimeoutMs = 30'000;
};

// 1 when the server accepted the message, else 0.
int SendMail(std::u16string_view request);
// The same with the connection settings made explicit (tests use another port).
int SendMail(std::u16string_view request, const MailOptions& options);
