// Network: connection state, page download, file sizes, the public address,
// the web-address coding and the address checks, against the loopback HTTP
// server that tests/with_servers.sh starts. The prefix's proxy settings point
// at that server for the whole run, so that port 80 and the default echo pages
// reach it too; they are restored at the end.
#include <winsock2.h>
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>

#include "frame/classes.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"
#include "system/network_internal.h"
#include "support.h"

using namespace qm;
using namespace qmtest;

namespace {

std::wstring env(const wchar_t* name) {
    wchar_t value[512] = {};
    DWORD n = GetEnvironmentVariableW(name, value, 512);
    return std::wstring(value, n < 512 ? n : 0);
}
const std::wstring kPort = env(L"QM_HTTP_PORT");
const std::wstring kRoot = env(L"QM_SERVER_ROOT");  // the server's folder, with "\"

std::wstring url(const std::wstring& path) { return L"http://127.0.0.1:" + kPort + path; }

// A port on which nothing listens.
std::wstring closed_port() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a));
    int len = sizeof(a);
    getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    closesocket(s);
    return std::to_wstring(ntohs(a.sin_port));
}

// The requests the server has seen since the last call.
std::string new_requests() {
    static size_t seen = 0;
    std::string all = read_bytes(kRoot + L"requests.log");
    if (all == "<missing>") all.clear();
    std::string fresh = all.substr(std::min(seen, all.size()));
    seen = all.size();
    return fresh;
}

const wchar_t* kSettings = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The proxy values of the prefix, set for the run and put back afterwards.
class ProxyForTheRun : public ::testing::Environment {
    struct Saved {
        const wchar_t* name;
        DWORD type = 0;
        std::string data;
        bool present = false;
    };
    Saved saved_[2] = {{L"ProxyEnable"}, {L"ProxyServer"}};

    void SetUp() override {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettings, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        for (Saved& s : saved_) {
            DWORD size = 0;
            if (RegQueryValueExW(key, s.name, nullptr, &s.type, nullptr, &size) == ERROR_SUCCESS) {
                s.data.resize(size);
                RegQueryValueExW(key, s.name, nullptr, &s.type, reinterpret_cast<BYTE*>(s.data.data()), &size);
                s.present = true;
            }
        }
        DWORD on = 1;
        std::wstring server = L"127.0.0.1:" + kPort;
        RegSetValueExW(key, L"ProxyEnable", 0, REG_DWORD, reinterpret_cast<BYTE*>(&on), sizeof(on));
        RegSetValueExW(key, L"ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                       static_cast<DWORD>((server.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    void TearDown() override {
        HKEY key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettings, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
        for (Saved& s : saved_) {
            if (s.present)
                RegSetValueExW(key, s.name, 0, s.type, reinterpret_cast<const BYTE*>(s.data.data()),
                               static_cast<DWORD>(s.data.size()));
            else
                RegDeleteValueW(key, s.name);
        }
        RegCloseKey(key);
    }
};
const auto* g_proxy = ::testing::AddGlobalTestEnvironment(new ProxyForTheRun);

class NetworkInternet : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(kPort.empty()) << "run through tests/with_servers.sh";
        // The registered DLL's instance, for calls by name; the test's own for
        // the rest, so that the seams below reach it.
        disp = create(L"Quillmark.Network");
        ASSERT_TRUE(disp);
        find_class_by_interface(IID__Network)->create(IID__Network, n.put_void());
        ASSERT_TRUE(n);
        for (long i = 1; i <= 3; ++i) defaults[i - 1] = net::echo_page(i).url;
        new_requests();
    }
    void TearDown() override {
        for (long i = 1; i <= 3; ++i) net::set_echo_url(i, defaults[i - 1]);
        net::override_connection_flags(std::nullopt);
    }
    std::wstring html(const std::wstring& address, BSTR* file = nullptr) {
        Bstr u(address), none(L"");
        BSTR raw = u.get();
        VARIANT_BOOL show = VARIANT_FALSE;
        Bstr out;
        EXPECT_EQ(n->Get_HTMLfile(&raw, &show, file ? file : none.put(), out.put()), S_OK);
        return out.str();
    }
    long filesize(const std::wstring& server, const std::wstring& file) {
        long r = -2;
        EXPECT_EQ(n->Get_InternetFilesize(Bstr(server).get(), Bstr(file).get(), &r), S_OK);
        return r;
    }
    std::wstring online_ip() {
        Bstr out;
        EXPECT_EQ(n->Get_OnlineIP(out.put()), S_OK);
        return out.str();
    }
    void echo(const wchar_t* a, const wchar_t* b, const wchar_t* c) {
        net::set_echo_url(1, url(a));
        net::set_echo_url(2, url(b));
        net::set_echo_url(3, url(c));
    }
    ComPtr<IDispatch> disp;
    ComPtr<_Network> n;
    std::wstring defaults[3];
};

TEST_F(NetworkInternet, ConnectionFlagsMapToTheDeviceAndTheStateMembersFollow) {
    struct Case {
        DWORD flags;
        icDevice device;
    } cases[] = {{0x06, icLAN}, {0x0C, icMODEM}, {0x01, icMODEM}, {0x04, icPROXY},
                 {0x10, icNONE}, {0x00, icNONE}, {0x108, icMODEM}, {0x102, icLAN}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(net::device_of(c.flags), c.device);
        net::override_connection_flags(c.flags);
        icDevice by = icNONE;
        VARIANT_BOOL connected = 1, modem = 1;
        ASSERT_EQ(n->InternetConnectedBy(&by), S_OK);
        ASSERT_EQ(n->ConnectedToInternet(&connected), S_OK);
        ASSERT_EQ(n->DFUEconnected(&modem), S_OK);
        EXPECT_EQ(by, c.device);
        EXPECT_EQ(connected != 0, c.device != icNONE);
        EXPECT_EQ(modem != 0, c.device == icMODEM);
    }
    // Wine always reports a LAN.
    net::override_connection_flags(std::nullopt);
    icDevice by = icNONE;
    ASSERT_EQ(n->InternetConnectedBy(&by), S_OK);
    EXPECT_EQ(by, icLAN);
    // The member's own name, with its umlaut, in any case.
    for (const wchar_t* name : {L"DF\u00dcconnected", L"df\u00fcCONNECTED", L"DFUEconnected"}) {
        Variant r;
        EXPECT_EQ(call(disp.get(), name, {}, r.get()), S_OK) << name;
        EXPECT_EQ(r.vt(), VT_BOOL) << name;
        EXPECT_EQ(V_BOOL(r.get()), VARIANT_FALSE) << name;
    }
    Variant r;
    EXPECT_EQ(call(disp.get(), L"DFconnected", {}, r.get()), DISP_E_UNKNOWNNAME);
}

TEST_F(NetworkInternet, PlatformStateMembers) {
    VARIANT_BOOL online = 0, can = -1, open = 0, closed = -1;
    ASSERT_EQ(n->HTTP_isOnline(&online), S_OK);
    ASSERT_EQ(n->HTTP_CanConnect(&can), S_OK);
    EXPECT_EQ(online, VARIANT_TRUE);
    EXPECT_EQ(can, VARIANT_FALSE);
    ASSERT_EQ(n->Host_isReachable(Bstr(url(L"/")).get(), &open), S_OK);
    ASSERT_EQ(n->Host_isReachable(Bstr(L"http://127.0.0.1:" + closed_port() + L"/").get(), &closed), S_OK);
    EXPECT_EQ(open, VARIANT_TRUE);
    EXPECT_EQ(closed, VARIANT_FALSE);
    // The host is the one named: a look-alike of "localhost" reaches nothing.
    auto reachable = [&](const std::wstring& host) {
        VARIANT_BOOL r = VARIANT_FALSE;
        EXPECT_EQ(n->Host_isReachable(Bstr(L"http://" + host + L":" + kPort + L"/").get(), &r), S_OK);
        return r != VARIANT_FALSE;
    };
    EXPECT_TRUE(reachable(L"localhost"));
    for (const HostileChar& c : kHostileChars)
        EXPECT_FALSE(reachable(L"l" + std::wstring(c.text) + L"calhost")) << c.label;
}

TEST_F(NetworkInternet, PageDownloadGivesTheAnsiTextAndDeletesTheFile) {
    write_bytes(kRoot + L"files\\page.txt", "Zeile 1\r\nGr\xfc\xdf" "e\r\n\r\n");
    EXPECT_EQ(html(url(L"/files/page.txt")), L"Zeile 1\r\nGr\u00fc\u00dfe\r\n");

    // A named file: an older one goes first, the downloaded one after reading.
    const std::wstring named = scratch() + L"net_named.htm";
    write_bytes(named, "older content that must not come back");
    Bstr file(named);
    BSTR raw = file.get();
    write_bytes(kRoot + L"files\\short.txt", "kurz");
    EXPECT_EQ(html(url(L"/files/short.txt"), &raw), L"kurz");
    EXPECT_FALSE(exists(named));

    write_bytes(named, "older");
    EXPECT_EQ(html(url(L"/files/missing.txt"), &raw), L"");
    EXPECT_FALSE(exists(named));
    EXPECT_EQ(html(L"http://127.0.0.1:" + closed_port() + L"/files/page.txt"), L"");
}

TEST_F(NetworkInternet, DownloadDialogLeavesTheFileAlone) {
    const std::wstring named = scratch() + L"net_dialog.htm";
    write_bytes(named, "stays");
    std::atomic<bool> done = false;
    // Any dialog of this process is closed.
    std::thread closer([&] {
        const DWORD self = GetCurrentProcessId();
        while (!done) {
            EnumWindows(
                [](HWND w, LPARAM p) CALLBACK -> BOOL {
                    DWORD pid = 0;
                    GetWindowThreadProcessId(w, &pid);
                    wchar_t cls[64] = {};
                    GetClassNameW(w, cls, 64);
                    if (pid == static_cast<DWORD>(p) && IsWindowVisible(w) && std::wstring(cls) == L"#32770")
                        PostMessageW(w, WM_CLOSE, 0, 0);
                    return TRUE;
                },
                static_cast<LPARAM>(self));
            Sleep(50);
        }
    });
    Bstr u(url(L"/files/page.txt")), file(named), out;
    BSTR raw_u = u.get(), raw_f = file.get();
    VARIANT_BOOL show = VARIANT_TRUE;
    EXPECT_EQ(n->Get_HTMLfile(&raw_u, &show, &raw_f, out.put()), S_OK);
    done = true;
    closer.join();
    EXPECT_EQ(out.str(), L"");
    EXPECT_EQ(read_bytes(named), "stays");
}

TEST_F(NetworkInternet, FileSizeAsksPort80ThroughTheProxy) {
    EXPECT_EQ(filesize(L"quill.invalid", L"length/12345"), 12345);
    EXPECT_EQ(filesize(L"quill.invalid", L"/length/12345"), 12345);
    EXPECT_EQ(new_requests(), "HEAD quill.invalid /length/12345\nHEAD quill.invalid /length/12345\n");
    // The file is the request's one object, coded as a web address.
    EXPECT_EQ(filesize(L"quill.invalid", L"length/7 x\"\r\nX-Injected: \u00e4%41"), -1);
    EXPECT_EQ(new_requests(), "HEAD quill.invalid /length/7%20x%22%0D%0AX-Injected:%20%C3%A4%41\n");
    EXPECT_EQ(filesize(L"quill.invalid", L"nolength"), -1);
    // The proxy cannot reach this one.
    const long unreachable = filesize(L"unreachable.invalid", L"x");
    EXPECT_TRUE(unreachable == -1 || unreachable == 0) << unreachable;
}

TEST_F(NetworkInternet, OnlineAddressTriesThePagesInTurn) {
    echo(L"/echo/none", L"/echo/2", L"/echo/3");
    EXPECT_EQ(online_ip(), L"10.0.0.2");
    echo(L"/echo/1", L"/echo/2", L"/echo/3");
    EXPECT_EQ(online_ip(), L"10.0.0.1");
    echo(L"/echo/none", L"/echo/none", L"/missing");
    EXPECT_EQ(online_ip(), L"");

    // The end marker only before the start marker: reported, then the next page.
    ErrorLog errors(ErrorLog::linked);
    echo(L"/echo/endfirst", L"/echo/none", L"/echo/3");
    EXPECT_EQ(online_ip(), L"10.0.0.3");
    const std::string entry = errors.text();
    EXPECT_NE(entry.find("DLL ERROR <5>"), std::string::npos) << entry;
    EXPECT_NE(entry.find("Modul: basPModule / Routine: Net_Get_OnlineIPFunc"), std::string::npos) << entry;

    // Not connected: nothing is fetched.
    new_requests();
    net::override_connection_flags(0x10);
    echo(L"/echo/1", L"/echo/2", L"/echo/3");
    EXPECT_EQ(online_ip(), L"");
    EXPECT_EQ(new_requests(), "");
}

TEST_F(NetworkInternet, OnlineAddressFromTheDefaultPagesThroughTheProxy) {
    EXPECT_EQ(online_ip(), L"10.0.0.1");
    EXPECT_EQ(new_requests(), "GET checkip.dyndns.org /\n");
}

TEST_F(NetworkInternet, WebAddressCoding) {
    struct Case {
        const wchar_t* text;
        const wchar_t* coded;
    } encode[] = {{L"a b/c", L"a+b%2fc"},
                  {L"\u00e4\u00f6\u00fc\u00c4\u00d6\u00dcXyz09", L"\u00e4\u00f6\u00fc\u00c4\u00d6\u00dcXyz09"},
                  {L".-", L"%2e%2d"},
                  {L"\n\u00df\u20ac", L"%0a%df%80"},
                  {L"", L""}};
    for (const Case& c : encode) EXPECT_EQ(net::url_encode(c.text), c.coded) << c.text;
    struct Decode {
        std::wstring coded, text;
    } decode[] = {{L"a+b%2Fc", L"a b/c"}, {L"a+b%2fc", L"a b/c"}, {L"%zz", std::wstring(1, L'\0')},
                  {L"%4z!", L"\x04!"},    {L"x%", std::wstring(L"x") + L'\0'}, {L"x%4", L"x\x04"},
                  {L"%e4%DF", L"\u00e4\u00df"}, {L"%%41", std::wstring(1, L'\0') + L"1"}};
    for (const Decode& d : decode) EXPECT_EQ(net::url_decode(d.coded), d.text) << d.coded;
    // Every ANSI character comes back.
    std::string bytes;
    for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
    const std::wstring all = from_ansi(bytes);
    EXPECT_EQ(net::url_decode(net::url_encode(all)), all);

    Bstr out;
    ASSERT_EQ(n->URLToHTML(Bstr(L"a b").get(), out.put()), S_OK);
    EXPECT_EQ(out.str(), L"a+b");
    ASSERT_EQ(n->HTMLtoURL(Bstr(L"a+b%21").get(), out.put()), S_OK);
    EXPECT_EQ(out.str(), L"a b!");
}

// Mutated and truncated pages and codes: a text or "" comes back, never a crash.
TEST_F(NetworkInternet, ParsersSurviveMutatedInput) {
    ErrorLog errors(ErrorLog::linked);  // the parsers' reports go to the test's own log
    std::mt19937 rng(20261209);
    const wchar_t* pieces[] = {L"CopyToClipboard('", L"');", L"<br>REMOTE HOST: ", L"\n<br>PRO", L"<h1>Your IP is ",
                               L" <br></h1>", L"10.1.2.3", L" ", L"%", L"+", L"%4", L"%zz", L"\u00e4", L"\0"};
    auto random_text = [&] {
        std::wstring t;
        const int parts = static_cast<int>(rng() % 8);
        for (int i = 0; i < parts; ++i) {
            if (rng() % 3 == 0) {
                t += static_cast<wchar_t>(rng() % 0x3000);
            } else {
                const wchar_t* p = pieces[rng() % std::size(pieces)];
                t += std::wstring_view(p, *p ? wcslen(p) : 1);
            }
        }
        if (!t.empty() && rng() % 2) t.resize(rng() % t.size());  // truncated
        return t;
    };
    long addresses = 0;
    for (int i = 0; i < 10000; ++i) {
        const std::wstring page = random_text();
        const long index = 1 + static_cast<long>(i % 3);
        const std::wstring found = net::address_in(page, index);
        if (!found.empty()) {
            ++addresses;
            EXPECT_NE(page.find(found), std::wstring::npos);
        }
        const std::wstring coded = random_text();
        EXPECT_LE(net::url_decode(coded).size(), coded.size());
    }
    EXPECT_GT(addresses, 0);
}

TEST_F(NetworkInternet, MailAddresses) {
    struct Case {
        const wchar_t* mail;
        bool valid;
        const wchar_t* back = nullptr;  // the caller's variable afterwards, when not as passed
    } cases[] = {{L"Hans.Muster@Example.DE", true, L"hans.muster@example.de"},
                 {L"Max@Example.DE", true, L"max@example.de"},
                 {L"A@B.XYZ", false, L"a@b.xyz"},
                 {L"a@b.com", true},   {L"@b.com", true},
                 {L"a..b@x..de", true},            {L"a@b@c.de", false}, {L"a@bde", false},
                 {L"a@b.xyz", false},              {L"a@b.info", true},  {L"a+b@c.de", false},
                 {L"a b@c.de", false},             {L"j\u00fcrgen@m\u00fcller.at", true},
                 {L"a@b.", false},                 {L"", false}};
    for (const Case& c : cases) {
        Bstr mail(c.mail);
        VARIANT_BOOL r = 0;
        ASSERT_EQ(n->isValidMail(mail.in_out(), &r), S_OK);
        EXPECT_EQ(r != 0, c.valid) << c.mail;
        EXPECT_EQ(mail.view(), c.back ? c.back : c.mail);  // lower-cased whatever the result
    }
}

TEST_F(NetworkInternet, Ipv4Addresses) {
    struct Case {
        const wchar_t* ip;
        bool valid;
    } cases[] = {{L"192.168.0.1", true},   {L"255.255.255.255", true}, {L"0.0.0.0", true},
                 {L"256.1.1.1", false},    {L" 1.2.3.4", true},        {L"01.002.3.4", true},
                 {L"1,5.2.3.4", true},     {L"255,6.1.1.1", false},    {L"1.5", false},
                 {L"1.2.3", false},        {L"1.2.3.4.5", false},      {L"1.2.3.-1", false},
                 {L"1.2.3.x", false},      {L"1.2.3.", false},         {L"99999999999.1.1.1", false},
                 {L"1.2.3.99999999999", false}};
    for (const Case& c : cases) {
        VARIANT_BOOL r = 0;
        ASSERT_EQ(n->isValidIP(Bstr(c.ip).get(), &r), S_OK) << c.ip;
        EXPECT_EQ(r != 0, c.valid) << c.ip;
    }
}

TEST_F(NetworkInternet, WebAddressCheckIsThePlatforms) {
    // Wine's IsValidURL accepts any text.
    for (const wchar_t* address : {L"http://example.invalid/", L"not an address"}) {
        VARIANT_BOOL r = 0;
        ASSERT_EQ(n->ValidURL(Bstr(address).get(), &r), S_OK);
        EXPECT_EQ(r, VARIANT_TRUE) << address;
    }
}

}  // namespace
