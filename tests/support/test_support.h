#pragma once
// Helpers shared by the tests: a temporary folder, a message-box recorder and
// small file utilities.

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/platform/message_box.h"

namespace test {

// A fresh folder below the temporary folder, deleted with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::u16string u16() const;
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Records every message box and answers with the queued buttons (IDOK when the
// queue is empty). Installs itself for its lifetime.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    std::vector<platform::MessageBoxRequest> boxes;
    std::vector<int> answers;

private:
    platform::MessageBoxHandler m_previous;
};

// Sets an environment variable (or removes it, given nullptr) for its lifetime,
// then puts back what was there: a failed assertion cannot leak it into later
// tests.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// Polls `done` until it holds or `limit` has passed, and says which.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

// Every process that inherited this environment entry ("NAME=value"): a
// program's helpers do.
int ProcessesWithEnvironment(const std::string& entry);

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);
std::u16string U16(const std::string& utf8);
std::string U8(const std::u16string& utf16);

}  // namespace test
