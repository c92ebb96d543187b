// Runs the real magpack executable: build an issue, list it, and check every
// listed offset against the bytes actually packed.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <cstdio>
#include <filesystem>
#include <sstream>

#include "support/test_support.h"

namespace {

struct Result {
    int status;
    std::string out;
};

Result RunMagpack(const std::string& args) {
    const std::string command = std::string(MAGPACK_PATH) + " " + args + " 2>&1";
    Result r{0, {}};
    FILE* p = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        r.out.append(buffer, n);
    r.status = WEXITSTATUS(pclose(p));
    return r;
}

struct Listed {
    long long offset, size;
    std::string name;
};

std::vector<Listed> ParseList(const std::string& out) {
    std::vector<Listed> rows;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.find("offset") != std::string::npos)
            continue;
        std::istringstream fields(line);
        Listed l;
        fields >> l.offset >> l.size;
        fields.get();
        fields.get();
        std::getline(fields, l.name);
        rows.push_back(l);
    }
    return rows;
}

}  // namespace

TEST(Magpack, BuildThenListRoundTripsAgainstThePackedBytes) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    test::WriteFile(dir / "player", std::string(4096, '\x7f'));
    test::WriteFile(dir / "loading.swf", "LOADING");
    fs::create_directories(dir / "issue/pages/二");
    fs::create_directories(dir / "issue/other");
    test::WriteFile(dir / "issue/config.xml", "<MSG><Wnd/></MSG>");
    test::WriteFile(dir / "issue/vellmain.swf", "MAIN MOVIE");
    test::WriteFile(dir / "issue/pages/二/页.swf", "PAGE TWO");
    test::WriteFile(dir / "issue/other/vellmain.swf", "OTHER");
    Result r =
        RunMagpack("build --player " + (dir / "player") + " --loading " + (dir / "loading.swf") +
                   " --qk other " + (dir / "issue") + " -o " + (dir / "out.bin"));
    ASSERT_EQ(r.status, 0) << r.out;
    r = RunMagpack("list " + (dir / "out.bin"));
    ASSERT_EQ(r.status, 0) << r.out;
    const auto rows = ParseList(r.out);
    ASSERT_EQ(rows.size(), 5u) << r.out;
    EXPECT_EQ(rows[0].name, "loading.swf");
    EXPECT_EQ(rows[0].offset, 4096);
    EXPECT_EQ(rows[1].name, "config.xml");
    const std::string packed = test::ReadFile(dir / "out.bin");
    EXPECT_EQ(packed.substr(0, 4096), std::string(4096, '\x7f'));
    for (const auto& row : rows) {
        std::string source;
        if (row.name == "loading.swf")
            source = test::ReadFile(dir / "loading.swf");
        else if (row.name == "other.qk")
            continue;
        else {
            std::string rel = row.name;
            for (auto& c : rel)
                if (c == '\\')
                    c = '/';
            source = test::ReadFile(dir / ("issue/" + rel));
        }
        EXPECT_EQ(packed.substr(row.offset, row.size), source) << row.name;
    }
    EXPECT_EQ(rows[4].name, "other.qk");
    test::WriteFile(dir / "other.qk", packed.substr(rows[4].offset, rows[4].size));
    r = RunMagpack("list " + (dir / "other.qk"));
    ASSERT_EQ(r.status, 0) << r.out;
    const auto inner = ParseList(r.out);
    ASSERT_EQ(inner.size(), 1u);
    EXPECT_EQ(inner[0].name, "vellmain.swf");
    EXPECT_EQ(packed.substr(rows[4].offset + inner[0].offset, inner[0].size), "OTHER");
}

TEST(Magpack, ExtractRunsTheWorker) {
    test::TempDir dir;
    test::WriteFile(dir / "player", "ELF");
    test::WriteFile(dir / "l.swf", "L");
    std::filesystem::create_directories(dir / "issue/sub");
    test::WriteFile(dir / "issue/config.xml", "<MSG/>");
    test::WriteFile(dir / "issue/sub/a.txt", "A");
    ASSERT_EQ(RunMagpack("build --no-main-movie --player " + (dir / "player") + " --loading " +
                         (dir / "l.swf") + " " + (dir / "issue") + " -o " + (dir / "i.bin"))
                  .status,
              0);
    const Result r = RunMagpack("extract " + (dir / "i.bin") + " " + (dir / "out"));
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(test::ReadFile(dir / "out/sub/a.txt"), "A");
    EXPECT_EQ(test::ReadFile(dir / "out/l.swf"), "L");
    EXPECT_TRUE(test::Exists(dir / "out/filelist.xml"));
}

TEST(Magpack, DamagedInputsGiveClearErrors) {
    test::TempDir dir;
    test::WriteFile(dir / "tiny", "abc");
    test::WriteFile(dir / "notxml",
                    std::string(100, 'x') + std::string("\x10\0\0\0", 4) + std::string(36, '\0'));
    test::WriteFile(dir / "bad.qk", "hello world");
    for (const char* f : {"tiny", "notxml", "bad.qk", "missing"}) {
        const Result r = RunMagpack("list " + (dir / f));
        EXPECT_EQ(r.status, 1) << f;
        EXPECT_NE(r.out.find("magpack:"), std::string::npos) << r.out;
    }
    EXPECT_EQ(RunMagpack("frobnicate").status, 2);
    EXPECT_EQ(RunMagpack("build " + dir.path()).status, 2);
    EXPECT_EQ(RunMagpack("--help").status, 0);
}

// A disk that refuses the files (here a file-size limit, as a full disk does):
// extract says so and fails, for an issue and for a nested package alike.
TEST(Magpack, ExtractIntoADiskThatRefusesFailsWithTheReason) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    test::WriteFile(dir / "player", std::string(4096, '\x7f'));
    test::WriteFile(dir / "loading.swf", "LOADING");
    fs::create_directories(dir / "issue/other");
    test::WriteFile(dir / "issue/config.xml", "<MSG><Wnd/></MSG>");
    test::WriteFile(dir / "issue/vellmain.swf", "MAIN MOVIE");
    test::WriteFile(dir / "issue/other/big.swf", std::string(200000, 'b'));
    ASSERT_EQ(
        RunMagpack("build --player " + (dir / "player") + " --loading " + (dir / "loading.swf") +
                   " --qk other " + (dir / "issue") + " -o " + (dir / "out.bin"))
            .status,
        0);
    ASSERT_EQ(RunMagpack("extract " + (dir / "out.bin") + " " + (dir / "whole")).status, 0);
    fs::copy_file(dir / "whole/other.qk", dir / "other.qk");
    for (const std::string& input : {dir / "out.bin", dir / "other.qk"}) {
        // 100 blocks of 512 bytes: the issue's small files fit, big.swf does not.
        const std::string command = "ulimit -f 100; trap '' XFSZ; " + std::string(MAGPACK_PATH) +
                                    " extract " + input + " " + (dir / "out") + " 2>&1";
        FILE* p = popen(("sh -c \"" + command + "\"").c_str(), "r");
        std::string out;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;)
            out.append(buffer, n);
        EXPECT_EQ(WEXITSTATUS(pclose(p)), 1) << input << ": " << out;
        EXPECT_NE(out.find("cannot write the package's files into " + (dir / "out")),
                  std::string::npos)
            << out;
        EXPECT_NE(out.find(std::strerror(EFBIG)), std::string::npos) << out;
        fs::remove_all(dir / "out");
    }
}

TEST(Magpack, ConvertMovesAnIssueOntoAnotherPlayer) {
    test::TempDir dir;
    // An issue made for another viewer: a 405,504-byte image and the package after it.
    const std::string oldPlayer(405504, 'W');
    const std::string list =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<FileList><File name=\"a.swf\" size=\"3\" "
        "startpos=\"405504\" "
        "path=\"D:\\src\\a.swf\"/><File name=\"config.xml\" size=\"2\" "
        "startpos=\"405504\"/></FileList>\r\n";
    std::string trailer = std::string(1, static_cast<char>(list.size())) + std::string(3, '\0') +
                          "0123456789ABCDEF0123456789ABCDEF" + "\x01\x02\x03\x04";
    test::WriteFile(dir / "old.exe", oldPlayer + "AAA" + "CC" + list + trailer);
    test::WriteFile(dir / "player", "NEWPLAYER");
    const Result r = RunMagpack("convert " + (dir / "old.exe") + " --player " + (dir / "player") +
                                " -o " + (dir / "new"));
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string converted = test::ReadFile(dir / "new");
    std::string expectedList = list;
    expectedList.replace(expectedList.find("405504"), 6, "9");
    std::string expectedTrailer = trailer;
    expectedTrailer[0] = static_cast<char>(expectedList.size());
    EXPECT_EQ(converted, "NEWPLAYER" + std::string("AAACC") + expectedList + expectedTrailer);
    const auto rows = ParseList(RunMagpack("list " + (dir / "new")).out);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].offset, 9);
    EXPECT_EQ(converted.substr(rows[1].offset, 2), "CC");
    EXPECT_EQ(RunMagpack("convert " + (dir / "player") + " --player " + (dir / "player") + " -o " +
                         (dir / "x"))
                  .status,
              1);
}

TEST(Magpack, ImportRegIntoTheUsersStore) {
    test::TempDir dir;
    // Every run here, the refused ones too, sees only this folder's store: never
    // the developer's own.
    const test::ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
    test::WriteFile(dir / "demo.reg",
                    "Windows Registry Editor Version "
                    "5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\MagazinePlayer\\Demo]\r\n"
                    "\"Greeting\"=\"你好\"\r\n");
    const Result r = RunMagpack("import-reg " + (dir / "demo.reg") + " XDG_CONFIG_HOME=x");
    EXPECT_EQ(r.status, 2);  // one argument only
    ASSERT_EQ(RunMagpack("import-reg " + (dir / "demo.reg")).status, 0);
    const std::string stored = test::ReadFile(dir / "magazine-player/registry.reg");
    EXPECT_EQ(stored.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(stored.find(std::string("G\0r\0e\0e\0t\0", 10)), std::string::npos);
    test::WriteFile(dir / "bad.reg", "not a registry file");
    EXPECT_EQ(RunMagpack("import-reg " + (dir / "bad.reg")).status, 1);
    EXPECT_EQ(test::ReadFile(dir / "magazine-player/registry.reg"), stored);  // kept as it was
}

// A build that cannot finish leaves nothing behind, and a folder that would make
// an issue the Player cannot open is refused unless asked for.
TEST(Magpack, FailedOrUnopenableBuildsLeaveNoOutput) {
    test::TempDir dir;
    test::WriteFile(dir / "l.swf", "L");
    std::filesystem::create_directories(dir / "issue");
    test::WriteFile(dir / "issue/config.xml", "<MSG><Wnd Width='640' Height='480'/></MSG>");
    test::WriteFile(dir / "issue/vellmain.swf", "MAIN");
    const std::string common = " --loading " + (dir / "l.swf") + " " + (dir / "issue") + " -o ";
    Result r = RunMagpack("build --player " + (dir / "no-such-player") + common + (dir / "a.bin"));
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(test::Exists(dir / "a.bin")) << "a failed build left a file";
    test::WriteFile(dir / "old.bin", "an earlier build");
    RunMagpack("build --player " + (dir / "no-such-player") + common + (dir / "old.bin"));
    EXPECT_EQ(test::ReadFile(dir / "old.bin"), "an earlier build");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3)
        << "a temporary file was left behind";

    test::WriteFile(dir / "player", "ELF");
    std::filesystem::remove(dir / "issue/vellmain.swf");
    r = RunMagpack("build --player " + (dir / "player") + common + (dir / "b.bin"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("vellmain.swf"), std::string::npos) << r.out;
    EXPECT_FALSE(test::Exists(dir / "b.bin"));
}

// Settings the Player cannot use are pointed out; the issue is still built.
TEST(Magpack, BuildWarnsAboutUnusableSettings) {
    test::TempDir dir;
    test::WriteFile(dir / "player", "ELF");
    test::WriteFile(dir / "l.swf", "L");
    std::filesystem::create_directories(dir / "issue");
    test::WriteFile(dir / "issue/vellmain.swf", "MAIN");
    test::WriteFile(dir / "issue/config.xml",
                    "<MSG><Wnd Width='abc' Height='0' bShowLoading='TRUE' LoadX='300'/></MSG>");
    const Result r = RunMagpack("build --player " + (dir / "player") + " --loading " +
                                (dir / "l.swf") + " " + (dir / "issue") + " -o " + (dir / "i.bin"));
    EXPECT_EQ(r.status, 0) << r.out;
    for (const char* name : {"Width", "Height", "LoadY"})
        EXPECT_NE(r.out.find(std::string("warning: config.xml: ") + name), std::string::npos)
            << name << "\n"
            << r.out;
    EXPECT_EQ(r.out.find("LoadX"), std::string::npos) << r.out;
    EXPECT_TRUE(test::Exists(dir / "i.bin"));
}
