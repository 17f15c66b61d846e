// FTP against the loopback pyftpdlib server that tests/with_servers.sh starts
// (a port above 32767; the user "quill" may not write in "readonly"). Each test
// works in a folder of its own; the server's files are checked on its disk.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>
#include <string>

#include "runtime/contract.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "system/ftp.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 512);
    return std::wstring(value, n < 512 ? n : 0);
}
const std::wstring kPortText = env(L"QM_FTP_PORT");
const std::wstring kHome = env(L"QM_SERVER_ROOT") + L"ftp\\";  // the server's root folder

class Ftp : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kPortText.empty()) << "run through tests/with_servers.sh";
        port = std::stol(kPortText);
        ASSERT_GT(port, 32767);
        f = ComPtr<qm::FTP>::attach(new qm::FTP());
        folder = test_name();
        CreateDirectoryW((kHome + folder).c_str(), nullptr);
    }
    long connect(const std::wstring& server, const wchar_t* user = L"quill", const wchar_t* password = L"secret") {
        IE_OpenType open = INTERNET_OPEN_TYPE_DIRECT;
        long r = -2;
        EXPECT_EQ(f->Connect(&open, Bstr(server).get(), Bstr(user).get(), Bstr(password).get(), port, VARIANT_TRUE, &r),
                  S_OK);
        return r;
    }
    // Connected to 127.0.0.1, in the test's own folder.
    void enter() {
        ASSERT_EQ(connect(L"127.0.0.1"), 1);
        ASSERT_EQ(on(&_FTP::Set_CurrentDirectory, L"/" + folder), 1);
    }
    long on(HRESULT (STDMETHODCALLTYPE _FTP::*member)(BSTR, BSTR, long*), const std::wstring& arg,
            const wchar_t* server = L"127.0.0.1") {
        long r = -2;
        EXPECT_EQ((f.get()->*member)(Bstr(server).get(), Bstr(arg).get(), &r), S_OK);
        return r;
    }
    std::wstring pwd(const wchar_t* server = L"127.0.0.1") {
        Bstr out;
        EXPECT_EQ(f->Get_CurrentDirectory(Bstr(server).get(), out.put()), S_OK);
        return out.str();
    }
    std::vector<std::wstring> rows() {
        std::vector<std::wstring> names;
        if (f->table())
            for (const auto& row : *f->table()) names.push_back(row.server);
        return names;
    }
    long port = 0;
    ComPtr<qm::FTP> f;
    std::wstring folder;
};

std::vector<std::wstring> names_in(const VARIANT& v) {
    std::vector<std::wstring> out;
    EXPECT_EQ(V_VT(&v), VT_ARRAY | VT_VARIANT);
    if (V_VT(&v) != (VT_ARRAY | VT_VARIANT)) return out;
    EXPECT_EQ(SafeArrayGetDim(V_ARRAY(&v)), 1u);
    long lo = -1;
    SafeArrayGetLBound(V_ARRAY(&v), 1, &lo);
    EXPECT_EQ(lo, 0);
    return texts_of(V_ARRAY(&v));
}

TEST_F(Ftp, ConnectionsAreRowsByLowerCaseName) {
    EXPECT_EQ(connect(L"127.0.0.1"), 1);
    EXPECT_EQ(connect(L"127.0.0.1", L"anonymous", L"wrong"), -1);
    EXPECT_EQ(connect(L"LocalHost"), 1);
    EXPECT_EQ(connect(L"localHOST"), -1);
    EXPECT_EQ(rows(), (std::vector<std::wstring>{L"127.0.0.1", L"localhost"}));
    EXPECT_EQ(connect(L"127.1"), 1);

    // A freed row is taken by the next connection.
    long r = -2;
    ASSERT_EQ(f->Disconnect(Bstr(L"LOCALHOST").get(), &r), S_OK);
    EXPECT_EQ(r, 1);
    ASSERT_EQ(f->Disconnect(Bstr(L"localhost").get(), &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(rows(), (std::vector<std::wstring>{L"127.0.0.1", L"", L"127.1"}));
    // An empty name is no server: it does not find the free row.
    ASSERT_EQ(f->Disconnect(Bstr(L"").get(), &r), S_OK);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(on(&_FTP::DirectoryCreate, L"x", L""), -1);
    EXPECT_EQ(connect(L"localhost", L"quill", L"not the password"), 0);
    EXPECT_EQ(rows(), (std::vector<std::wstring>{L"127.0.0.1", L"", L"127.1"}));
    EXPECT_EQ(connect(L"2130706433", L"anonymous", L"guest@"), 1);
    EXPECT_EQ(rows(), (std::vector<std::wstring>{L"127.0.0.1", L"2130706433", L"127.1"}));
    EXPECT_EQ(pwd(L"2130706433"), L"/");
}

TEST_F(Ftp, PortsUpTo65535AndNoMore) {
    IE_OpenType open = INTERNET_OPEN_TYPE_PRECONFIG;
    long r = 0;
    for (long bad : {-1L, 65536L}) {
        EXPECT_EQ(f->Connect(&open, Bstr(L"127.0.0.1").get(), Bstr(L"quill").get(), Bstr(L"secret").get(), bad,
                             VARIANT_TRUE, &r),
                  static_cast<HRESULT>(0x800A0006))
            << bad;
    }
    EXPECT_EQ(rows(), std::vector<std::wstring>{});
}

TEST_F(Ftp, NeverConnectedServer) {
    EXPECT_EQ(pwd(L"nowhere"), L"");
    EXPECT_EQ(on(&_FTP::DirectoryCreate, L"x", L"nowhere"), -1);
    EXPECT_EQ(on(&_FTP::DirectoryRemove, L"x", L"nowhere"), -1);
    EXPECT_EQ(on(&_FTP::Set_CurrentDirectory, L"x", L"nowhere"), -1);
    EXPECT_EQ(on(&_FTP::FileRemove, L"x", L"nowhere"), -1);
    long r = 0;
    ASSERT_EQ(f->Rename(Bstr(L"nowhere").get(), Bstr(L"a").get(), Bstr(L"b").get(), &r), S_OK);
    EXPECT_EQ(r, -1);
    ASSERT_EQ(f->Disconnect(Bstr(L"nowhere").get(), &r), S_OK);
    EXPECT_EQ(r, -1);
    Bstr remote(L"");
    BSTR raw = remote.get();
    ASSERT_EQ(f->Upload(Bstr(L"nowhere").get(), Bstr(L"C:\\x.txt").get(), FTP_TRANSFER_TYPE_BINARY, &raw, &r), S_OK);
    EXPECT_EQ(r, -1);
    TransferType mode = FTP_TRANSFER_TYPE_BINARY;
    ASSERT_EQ(f->Download(Bstr(L"nowhere").get(), Bstr(L"x").get(), Bstr(scratch() + L"x").get(), &mode, &r), S_OK);
    EXPECT_EQ(r, -1);
    Variant files(Variant(L"old")), folders(Variant(1L));
    VARIANT_BOOL listed = -1;
    ASSERT_EQ(f->Get_FileList(Bstr(L"nowhere").get(), files.get(), folders.get(), &listed), S_OK);
    EXPECT_EQ(listed, VARIANT_FALSE);
    EXPECT_EQ(files.vt(), VT_EMPTY);
    EXPECT_EQ(folders.vt(), VT_EMPTY);
    VARIANT_BOOL all = -1;
    ASSERT_EQ(f->DisconnectAll(&all), S_OK);
    EXPECT_EQ(all, VARIANT_FALSE);
}

TEST_F(Ftp, TransfersAreByteExact) {
    enter();
    std::mt19937 rng(7);
    std::string big(1024 * 1024 + 1, '\0');
    for (char& c : big) c = static_cast<char>(rng());
    for (const auto& [name, bytes] : {std::pair<std::wstring, std::string>{L"ftp_empty.bin", ""}, {L"ftp_big.bin", big}}) {
        const std::wstring local = scratch() + name;
        write_bytes(local, bytes);
        Bstr remote(L"");
        BSTR raw = remote.get();
        long r = 0;
        ASSERT_EQ(f->Upload(Bstr(L"127.0.0.1").get(), Bstr(local).get(), FTP_TRANSFER_TYPE_BINARY, &raw, &r), S_OK);
        EXPECT_EQ(r, 1);
        EXPECT_EQ(Bstr::view_of(raw), name);  // the client's variable names the stored file
        if (raw != remote.get()) SysFreeString(raw);
        EXPECT_TRUE(read_bytes(kHome + folder + L"\\" + name) == bytes) << name;
        const std::wstring back = local + L".back";
        write_bytes(back, "overwritten");
        TransferType mode = FTP_TRANSFER_TYPE_BINARY;
        ASSERT_EQ(f->Download(Bstr(L"127.0.0.1").get(), Bstr(name).get(), Bstr(back).get(), &mode, &r), S_OK);
        EXPECT_EQ(r, 1);
        EXPECT_TRUE(read_bytes(back) == bytes) << name;
    }
    // ASCII mode: the server keeps its own line ends, the client gets CR LF.
    const std::wstring text = scratch() + L"ftp_text.txt";
    write_bytes(text, "a\r\nb\r\n");
    Bstr remote(L"lines.txt");
    BSTR raw = remote.get();
    long r = 0;
    ASSERT_EQ(f->Upload(Bstr(L"127.0.0.1").get(), Bstr(text).get(), FTP_TRANSFER_TYPE_ASCII, &raw, &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(read_bytes(kHome + folder + L"\\lines.txt"), "a\nb\n");
    TransferType mode = FTP_TRANSFER_TYPE_ASCII;
    ASSERT_EQ(f->Download(Bstr(L"127.0.0.1").get(), Bstr(L"lines.txt").get(), Bstr(text + L".back").get(), &mode, &r),
              S_OK);
    EXPECT_EQ(read_bytes(text + L".back"), "a\r\nb\r\n");
    // A missing remote file.
    ASSERT_EQ(f->Download(Bstr(L"127.0.0.1").get(), Bstr(L"none.txt").get(), Bstr(text + L".none").get(), &mode, &r),
              S_OK);
    EXPECT_EQ(r, 0);
}

TEST_F(Ftp, FoldersAndFiles) {
    enter();
    EXPECT_EQ(pwd(), L"/" + folder);
    EXPECT_EQ(on(&_FTP::DirectoryCreate, L"sub"), 1);
    EXPECT_EQ(on(&_FTP::Set_CurrentDirectory, L"sub"), 1);
    EXPECT_EQ(pwd(), L"/" + folder + L"/sub");
    write_bytes(kHome + folder + L"\\sub\\one.txt", "1");
    long r = 0;
    ASSERT_EQ(f->Rename(Bstr(L"127.0.0.1").get(), Bstr(L"one.txt").get(), Bstr(L"two.txt").get(), &r), S_OK);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(read_bytes(kHome + folder + L"\\sub\\two.txt"), "1");
    EXPECT_EQ(on(&_FTP::FileRemove, L"two.txt"), 1);
    EXPECT_FALSE(exists(kHome + folder + L"\\sub\\two.txt"));
    EXPECT_EQ(on(&_FTP::FileRemove, L"two.txt"), 0);
    EXPECT_EQ(on(&_FTP::Set_CurrentDirectory, L".."), 1);
    EXPECT_EQ(on(&_FTP::DirectoryRemove, L"sub"), 1);
    EXPECT_FALSE(exists(kHome + folder + L"\\sub"));
    EXPECT_EQ(on(&_FTP::DirectoryRemove, L"sub"), 0);

    // A control character would end the command and start another: refused.
    write_bytes(kHome + folder + L"\\keep.txt", "k");
    EXPECT_EQ(on(&_FTP::FileRemove, L"none.txt\r\nDELE keep.txt"), 0);
    EXPECT_EQ(on(&_FTP::DirectoryCreate, std::wstring(L"made\0DELE keep.txt", 18)), 0);
    EXPECT_TRUE(exists(kHome + folder + L"\\keep.txt"));
    EXPECT_FALSE(exists(kHome + folder + L"\\made"));

    // A refusal: the server's 550 answer, as the error's text.
    EXPECT_EQ(on(&_FTP::DirectoryCreate, L"/readonly/x"), 0);
    Bstr code, text;
    ASSERT_EQ(f->Get_LastResponse(code.put(), text.put()), S_OK);
    EXPECT_NE(code.str(), L"0");
    EXPECT_TRUE(text.str().starts_with(L"Error " + code.str() + L": ")) << text.str();
    EXPECT_NE(text.str().find(L"550"), std::wstring::npos) << text.str();
    EXPECT_FALSE(exists(kHome + L"readonly\\x"));
}

TEST_F(Ftp, FileListSplitsFilesAndFolders) {
    enter();
    Variant files(Variant(L"old")), folders;
    VARIANT_BOOL listed = 0;
    ASSERT_EQ(f->Get_FileList(Bstr(L"127.0.0.1").get(), files.get(), folders.get(), &listed), S_OK);
    EXPECT_EQ(listed, VARIANT_TRUE);
    EXPECT_EQ(files.vt(), VT_EMPTY);
    EXPECT_EQ(folders.vt(), VT_EMPTY);

    write_bytes(kHome + folder + L"\\b.txt", "b");
    write_bytes(kHome + folder + L"\\a.txt", "a");
    CreateDirectoryW((kHome + folder + L"\\dir").c_str(), nullptr);
    ASSERT_EQ(f->Get_FileList(Bstr(L"127.0.0.1").get(), files.get(), folders.get(), &listed), S_OK);
    EXPECT_EQ(listed, VARIANT_TRUE);
    std::vector<std::wstring> names = names_in(*files.get());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"a.txt", L"b.txt"}));
    EXPECT_EQ(names_in(*folders.get()), std::vector<std::wstring>{L"dir"});

    // A listing entry is a folder by its directory bit, whatever else is set.
    EXPECT_TRUE(qm::FTP::is_folder(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_TRUE(qm::FTP::is_folder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(qm::FTP::is_folder(FILE_ATTRIBUTE_NORMAL));
    EXPECT_FALSE(qm::FTP::is_folder(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
}

TEST_F(Ftp, DisconnectAllEndsTheSession) {
    VARIANT_BOOL all = -1;
    ASSERT_EQ(f->DisconnectAll(&all), S_OK);
    EXPECT_EQ(all, VARIANT_FALSE);
    ASSERT_EQ(connect(L"127.0.0.1"), 1);
    ASSERT_EQ(connect(L"localhost"), 1);
    EXPECT_NE(f->session(), nullptr);
    ASSERT_EQ(f->DisconnectAll(&all), S_OK);
    EXPECT_EQ(all, VARIANT_TRUE);
    EXPECT_FALSE(f->table().has_value());
    EXPECT_EQ(f->session(), nullptr);
    ASSERT_EQ(f->DisconnectAll(&all), S_OK);
    EXPECT_EQ(all, VARIANT_FALSE);
    EXPECT_EQ(connect(L"127.0.0.1"), 1);
    EXPECT_NE(f->session(), nullptr);
    EXPECT_EQ(rows(), std::vector<std::wstring>{L"127.0.0.1"});
}

// A client calling by name: the optional arguments take their defaults.
TEST_F(Ftp, LateBoundConnectUsesTheDefaults) {
    ComPtr<IDispatch> d = create(L"Quillmark.FTP");
    ASSERT_TRUE(d);
    Variant open(0L), server(L"127.0.0.1"), user(L"anonymous"), password(L"guest@"), p(port), r;
    VARIANT open_ref = v_ref(open);
    ASSERT_EQ(call(d.get(), L"Connect", {&open_ref, server.get(), user.get(), password.get(), p.get()}, r.get()),
              S_OK);
    EXPECT_EQ(V_I4(r.get()), 1);
    Variant files, folders, listed;
    VARIANT fr = v_ref(files), dr = v_ref(folders);
    ASSERT_EQ(call(d.get(), L"Get_FileList", {server.get(), &fr, &dr}, listed.get()), S_OK);
    EXPECT_EQ(V_BOOL(listed.get()), VARIANT_TRUE);
    std::vector<std::wstring> dirs = names_in(*folders.get());
    EXPECT_NE(std::find(dirs.begin(), dirs.end(), L"readonly"), dirs.end());
}

}  // namespace
