#include "test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "core/platform/text.h"

namespace test {

TempDir::TempDir() {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/player-test-XXXXXX";
    if (!mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Restore permissions a test may have taken away, then remove everything.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec)) {
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
    }
    std::filesystem::remove_all(m_path, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    if (const char* previous = std::getenv(name))
        m_previous = previous;
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (m_previous)
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

std::u16string TempDir::u16() const {
    return platform::Utf8ToUtf16(m_path);
}

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = platform::SetMessageBoxHandler([this](const platform::MessageBoxRequest& r) {
        boxes.push_back(r);
        if (answers.empty())
            return static_cast<int>(platform::IDOK);
        const int a = answers.front();
        answers.erase(answers.begin());
        return a;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    platform::SetMessageBoxHandler(std::move(m_previous));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

std::u16string U16(const std::string& utf8) {
    return platform::Utf8ToUtf16(utf8);
}
std::string U8(const std::u16string& utf16) {
    return platform::Utf16ToUtf8(utf16);
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace test

namespace test {

int ProcessesWithEnvironment(const std::string& entry) {
    int count = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(e.path() / "environ", std::ios::binary);
        const std::string env((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
        if (env.find(entry + '\0') != std::string::npos)
            ++count;
    }
    return count;
}

}  // namespace test
