#include "core/services/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "core/platform/text.h"
#include "support/test_support.h"

namespace {

std::string Utf16File(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// As regedit exports it.
const std::u16string kExport =
    u"Windows Registry Editor Version 5.00\r\n\r\n"
    u"[HKEY_CURRENT_USER\\Software\\Magazine]\r\n"
    u"@=\"default value\"\r\n"
    u"\"Path\"=\"C:\\\\Program Files\\\\Mag\"\r\n"
    u"\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    u"\"标题\"=\"杂志\"\r\n"
    u"\"Count\"=dword:0000002a\r\n"
    u"\"Blob\"=hex:48,00,69,00,\\\r\n  00,00\r\n\r\n"
    u"[HKEY_LOCAL_MACHINE\\Software\\Vendor\\Sub]\r\n\r\n";

class Registry : public ::testing::Test {
protected:
    Registry() : store(dir / "cfg/magazine-player/registry.reg") {}
    void SetUp() override { ASSERT_TRUE(store.Import(Utf16File(kExport))); }
    test::TempDir dir;
    RegistryStore store;
};

}  // namespace

TEST_F(Registry, ReadsAnExportedFile) {
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", store);
    EXPECT_EQ(key.ReadString(u""), u"default value");
    EXPECT_EQ(key.ReadString(u"Path"), u"C:\\Program Files\\Mag");
    EXPECT_EQ(key.ReadString(u"quote"), u"say \"hi\"");  // names ignore case
    EXPECT_EQ(key.ReadString(u"标题"), u"杂志");
    EXPECT_EQ(key.ReadString(u"Blob"), u"Hi");  // any type reads as UTF-16 text
    EXPECT_EQ(key.ReadString(u"Count"), u"*");
    EXPECT_EQ(key.ReadString(u"Missing"), u"");
    EXPECT_EQ(
        RegistryKey(RegistryRoot::CurrentUser, u"SOFTWARE\\magazine", store).ReadString(u"Path"),
        u"C:\\Program Files\\Mag");
    EXPECT_EQ(RegistryKey(RegistryRoot::CurrentUser, u"Software\\Nope", store).ReadString(u"Path"),
              u"");
    EXPECT_EQ(RegistryKey(RegistryRoot::None, u"Software\\Magazine", store).ReadString(u"Path"),
              u"");
    EXPECT_TRUE(
        store.KeyExists(RegistryRoot::LocalMachine, u"Software\\Vendor"));  // parents exist too
}

TEST_F(Registry, WritesOnlyIntoExistingKeysAndKeepsBars) {
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", store);
    key.WriteString(u"Data", u"a|b|c");
    RegistryStore reloaded(dir / "cfg/magazine-player/registry.reg");
    EXPECT_EQ(
        RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", reloaded).ReadString(u"Data"),
        u"a|b|c");
    RegistryKey missing(RegistryRoot::CurrentUser, u"Software\\Created", store);
    missing.WriteString(u"X", u"y");
    EXPECT_FALSE(reloaded.KeyExists(RegistryRoot::CurrentUser, u"Software\\Created"));
    EXPECT_EQ(missing.ReadString(u"X"), u"");
    RegistryKey none(RegistryRoot::None, u"Software\\Magazine", store);
    none.WriteString(u"Z", u"z");
    EXPECT_EQ(key.ReadString(u"Z"), u"");
    key.WriteString(u"", u"new default");
    EXPECT_EQ(key.ReadString(u""), u"new default");
}

TEST_F(Registry, BufferLimits) {
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", store);
    const std::u16string fits(1023, u'x');
    key.WriteString(u"Long", fits);
    EXPECT_EQ(key.ReadString(u"Long"), u"");  // 2046 bytes do not fit the 1024-byte read buffer
    key.WriteString(u"Edge", std::u16string(512, u'y'));
    EXPECT_EQ(key.ReadString(u"Edge"), std::u16string(512, u'y'));  // exactly 1024 bytes, no zero
    const auto stored = store.GetValue(RegistryRoot::CurrentUser, u"Software\\Magazine", u"Long");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data.size(), 2046u);  // complete, without a terminating zero
    key.WriteString(u"TooLong", std::u16string(1024, u'z'));
    EXPECT_FALSE(store.GetValue(RegistryRoot::CurrentUser, u"Software\\Magazine", u"TooLong"));
    key.WriteString(std::u16string(1024, u'n'), u"v");
    EXPECT_FALSE(store.GetValue(RegistryRoot::CurrentUser, u"Software\\Magazine",
                                std::u16string(1024, u'n')));
}

TEST_F(Registry, AnotherProcessesChangeIsSeen) {
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", store);
    EXPECT_EQ(key.ReadString(u"Path"), u"C:\\Program Files\\Mag");
    RegistryStore other(dir / "cfg/magazine-player/registry.reg");
    RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", other)
        .WriteString(u"Path", u"/opt/mag");
    EXPECT_EQ(key.ReadString(u"Path"), u"/opt/mag");
}

TEST_F(Registry, AStrayTemporaryFileLosesNothing) {
    const std::string path = dir / "cfg/magazine-player/registry.reg";
    test::WriteFile(path + ".tmp-abcdef", "half written garbage");
    RegistryStore fresh(path);
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", fresh);
    EXPECT_EQ(key.ReadString(u"Path"), u"C:\\Program Files\\Mag");
    key.WriteString(u"After", u"crash");
    EXPECT_FALSE(test::Exists(path + ".tmp-abcdef")) << "a dead writer's file is cleaned up";
    RegistryStore again(path);
    EXPECT_EQ(
        RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", again).ReadString(u"After"),
        u"crash");
    EXPECT_EQ(
        RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", again).ReadString(u"标题"),
        u"杂志");
}

// Any character a movie writes comes back, line breaks and control characters
// among them, through the file another process reads.
TEST_F(Registry, ValuesWithLineBreaksRoundTrip) {
    const std::u16string odd = u"line one\r\nline two\n\"quoted\" \\ end\t\x01";
    RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", store).WriteString(u"Odd", odd);
    RegistryStore other(dir / "cfg/magazine-player/registry.reg");
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", other);
    EXPECT_EQ(key.ReadString(u"Odd"), odd);
    EXPECT_EQ(key.ReadString(u"标题"), u"杂志");  // and the rest of the file still reads
}

// A store that does not parse is never replaced by a save: the reader's values
// stay in the file, which is kept as it is.
TEST_F(Registry, AFileThatDoesNotParseIsNeverOverwritten) {
    const std::string path = dir / "cfg/magazine-player/registry.reg";
    const std::string damaged = Utf16File(kExport) + Utf16File(u"\"unterminated=\r\n").substr(2);
    test::WriteFile(path, damaged);
    RegistryStore fresh(path);
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", fresh);
    key.WriteString(u"New", u"value");
    EXPECT_FALSE(fresh.Import(Utf16File(kExport)));
    EXPECT_EQ(test::ReadFile(path), damaged);
}

// Two processes writing into one key at once keep every value: the
// read-change-write of each save is locked across processes.
TEST_F(Registry, ConcurrentWritersLoseNothing) {
    const std::string path = dir / "cfg/magazine-player/registry.reg";
    constexpr int kEach = 150;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        if (children[c] == 0) {
            RegistryStore own(path);
            RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", own);
            for (int i = 0; i < kEach; ++i)
                key.WriteString(test::U16("w" + std::to_string(c) + "-" + std::to_string(i)), u"v");
            _exit(0);
        }
    }
    for (pid_t child : children)
        waitpid(child, nullptr, 0);
    RegistryStore fresh(path);
    RegistryKey key(RegistryRoot::CurrentUser, u"Software\\Magazine", fresh);
    int found = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < kEach; ++i)
            found += key.ReadString(test::U16("w" + std::to_string(c) + "-" + std::to_string(i))) ==
                     u"v";
    }
    EXPECT_EQ(found, 2 * kEach);
}

TEST_F(Registry, ExportRoundTripsThroughTheFileFormat) {
    const std::string exported = store.Export();
    EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");
    RegistryStore copy(dir / "copy.reg");
    ASSERT_TRUE(copy.Import(exported));
    EXPECT_EQ(copy.Export(), exported);
    RegistryStore utf8(dir / "utf8.reg");
    ASSERT_TRUE(
        utf8.Import("Windows Registry Editor Version 5.00\n[HKEY_USERS\\X]\n\"a\"=\"b\"\n"));
    EXPECT_EQ(RegistryKey(RegistryRoot::Users, u"X", utf8).ReadString(u"a"), u"b");
    EXPECT_FALSE(utf8.Import("not a registry file"));
    // A key name with empty components (a fuzz finding) is the key without them,
    // so that the export reads back the same.
    RegistryStore doubled("");
    ASSERT_TRUE(doubled.Import(
        "Windows Registry Editor Version 5.00\n[HKEY_USERS\\X\\\\\\Y\\\\]\n\"a\"=\"b\"\n"));
    EXPECT_EQ(RegistryKey(RegistryRoot::Users, u"X\\Y", doubled).ReadString(u"a"), u"b");
    RegistryStore again("");
    ASSERT_TRUE(again.Import(doubled.Export()));
    EXPECT_EQ(again.Export(), doubled.Export());
    EXPECT_FALSE(
        utf8.Import("Windows Registry Editor Version 5.00\n[HKEY_USERS\\X]\n\"a\"=broken\n"));
}

TEST_F(Registry, DeletionEntriesRemoveKeysAndValues) {
    ASSERT_TRUE(
        store.Import(Utf16File(u"Windows Registry Editor Version 5.00\r\n\r\n"
                               u"[-HKEY_LOCAL_MACHINE\\Software\\Vendor]\r\n"
                               u"[HKEY_CURRENT_USER\\Software\\Magazine]\r\n\"Path\"=-\r\n")));
    EXPECT_FALSE(store.KeyExists(RegistryRoot::LocalMachine, u"Software\\Vendor\\Sub"));
    EXPECT_FALSE(store.KeyExists(RegistryRoot::LocalMachine, u"Software\\Vendor"));
    EXPECT_TRUE(store.KeyExists(RegistryRoot::LocalMachine, u"Software"));
    EXPECT_EQ(
        RegistryKey(RegistryRoot::CurrentUser, u"Software\\Magazine", store).ReadString(u"Path"),
        u"");
}

TEST(RegistryDefault, LivesUnderTheConfigFolder) {
    const test::ScopedEnv xdg("XDG_CONFIG_HOME", "/tmp/xdg-test");
    EXPECT_EQ(RegistryStore::DefaultPath(), "/tmp/xdg-test/magazine-player/registry.reg");
}

// A text that is not taken names the line it could not read (a hex value
// continued over lines counts from its first), and merges nothing.
TEST(RegistryImport, TellsTheLineItCouldNotRead) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_USERS\\X]\r\n";
    struct Case {
        std::string text;
        size_t line;
        const char* what;
    } cases[] = {
        {"not a registry file", 1, "not a registry file"},
        {"\n\nREGEDIT5\n", 3, "not a registry file"},
        {"", 0, "not a registry file"},
        {head + "\"a\"=broken\r\n", 4, "data"},
        {head + "\"a\"=\"b\"\r\n\"Blob\"=hex:48,00,\\\r\n  zz\r\n", 5, "data"},
        {head + "\"Blob\"=hex:48,\\\r\n  00\r\n\"c\"\r\n", 6, "no ="},
        {head + "a=\"b\"\r\n", 4, "not in quotes"},
        {head + "[HKEY_USERS\\Y\r\n", 4, "no closing ]"},
    };
    for (const Case& c : cases) {
        RegistryStore store("");
        RegistryStore::ImportError error;
        EXPECT_FALSE(store.Import(c.text, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_NE(error.what.find(c.what), std::string::npos) << c.text << ": " << error.what;
        EXPECT_FALSE(store.KeyExists(RegistryRoot::Users, u"X")) << c.text;
    }
}
