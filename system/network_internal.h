// Network: the pieces of the internet members that stand on their own.
#pragma once
#include <windows.h>

// The type library's enumerations first: the network headers define some of
// their names as macros.
#include "runtime/interfaces.h"

#include <iphlpapi.h>
#include <lm.h>
#include <nb30.h>
#include <ras.h>
#include <winnetwk.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/com_ptr.h"
#include "runtime/interfaces.h"

namespace qm::net {

// The way of connection that InternetGetConnectedState's flags name (only
// the low 8 bits count).
icDevice device_of(DWORD flags) noexcept;

// The connection-state flags the members see: the platform's, unless
// replaced here (nullopt gives the platform back).
DWORD connection_flags();
void override_connection_flags(std::optional<DWORD> flags);

// One entry of the address-echo table: an http page and the two markers that
// enclose the address in its text.
struct EchoPage {
    std::wstring url;
    std::wstring start;
    std::wstring end;
};
// Entry index 1 to 3 (an empty entry for any other index).
EchoPage echo_page(long index);
// Points entry index 1 to 3 at another page (the markers stay).
void set_echo_url(long index, std::wstring url);

// The trimmed text between the first start marker and the first end marker
// that follows it; "" when either marker is missing from the page; raises 5
// when the end marker occurs only before the start marker.
std::wstring text_between(std::wstring_view page, std::wstring_view start, std::wstring_view end);

// The address in a page of entry index, with that try's error trap: an error
// is reported under Net_Get_OnlineIPFunc and gives "".
std::wstring address_in(std::wstring_view page, long index);

// One try of the address-echo table (the module procedure
// Net_Get_OnlineIPFunc): "" when the page gives no address.
std::wstring online_ip_try(long index);

// The web-address coding of URLToHTML and HTMLtoURL.
std::wstring url_encode(std::wstring_view text);
std::wstring url_decode(std::wstring_view text);

// The rules of isValidMail (on a lower-cased text) and isValidIP.
bool valid_mail(std::wstring_view mail);
bool valid_ip(std::wstring_view ip);

// The text SendNewMail hands to the shell: "mailto:" To "?Subject=" ...
// "&Body=" ..., each field coded as "%" and the hexadecimal digits of its UTF-8
// bytes but for the unreserved characters (A-Z a-z 0-9 - . _ ~), and in To for
// "@" and "," too.
std::wstring mail_address_text(std::wstring_view to, std::wstring_view subject, std::wstring_view body);
// An address as one argument of a program, in the form a URI takes: blanks,
// quotes, control characters and every non-ASCII character coded as above;
// everything else stays, "%" of an address coded already included.
std::wstring uri_text(std::wstring_view address);
// The content of an internet shortcut file for url (without the final line end).
std::wstring shortcut_text(std::wstring_view url);
// The browser a program path names (by its file name, case-insensitive).
DefaultBrowser browser_of(std::wstring_view program);
// Writes the internet shortcut file; false when it cannot be written.
bool write_shortcut(std::wstring_view url, std::wstring_view file);

// --- name resolution -------------------------------------------------------
// Address bytes as dotted text ("192.168.0.1").
std::wstring dotted(const unsigned char* bytes, size_t count);
// The host name of a dotted address through the name service: "" when the
// lookup fails, and without a lookup when a part is no number from 0 to 255.
// The sockets library must be started.
std::wstring address_to_host_name(std::wstring_view ip);

// --- the local network -----------------------------------------------------
// The bytes a messenger mailslot message consists of: sender, NUL,
// recipient, NUL, text, NUL, NUL (ANSI). Nothing when the code page cannot
// hold the sender's or the recipient's name exactly.
std::optional<std::string> messenger_bytes(std::wstring_view from, std::wstring_view to, std::wstring_view text);

// A server's clock block as local date and time: the UTC date and time less
// the zone's minutes (minutes west of UTC), the carry reaching the date.
struct ServerTime {
    DATE date = 0;  // the day at 00:00
    DATE time = 0;  // the time of day on day 0
};
ServerTime server_time(long year, long month, long day, long hours, long minutes, long seconds, long zone);

// Lower-cased server names of the neighbourhood walk's resources (without
// backslashes), for resources of display type 2.
struct Resource {
    DWORD display_type = 0;
    DWORD usage = 0;
    std::wstring remote_name;
};

// The platform functions behind the readers of this file set. Tests replace
// entries with fabricated data; reset_platform() puts the real ones back.
struct Platform {
    NET_API_STATUS(WINAPI* remote_tod)(LPCWSTR server, LPBYTE* buffer);
    NET_API_STATUS(WINAPI* share_enum)(LMSTR server, DWORD level, LPBYTE* buffer, DWORD max, LPDWORD read,
                                       LPDWORD total, LPDWORD resume);
    NET_API_STATUS(WINAPI* buffer_free)(LPVOID buffer);
    DWORD(WINAPI* open_enum)(DWORD scope, DWORD type, DWORD usage, LPNETRESOURCEW container, LPHANDLE handle);
    DWORD(WINAPI* enum_resource)(HANDLE handle, LPDWORD count, LPVOID buffer, LPDWORD size);
    DWORD(WINAPI* close_enum)(HANDLE handle);
    DWORD(WINAPI* if_table)(PMIB_IFTABLE table, PULONG size, BOOL sorted);
    DWORD(WINAPI* forward_table)(PMIB_IPFORWARDTABLE table, PULONG size, BOOL sorted);
    UCHAR(WINAPI* netbios)(PNCB ncb);
    // The dial-up calls: a connection opened by the name of its phone-book
    // entry, and the entries of a phone book.
    DWORD(WINAPI* dial)(HWND owner, LPWSTR entry, DWORD flags, DWORD_PTR* connection, DWORD reserved);
    DWORD(WINAPI* ras_entries)(LPCWSTR reserved, LPCWSTR phone_book, LPRASENTRYNAMEW entries, LPDWORD bytes,
                               LPDWORD count);
    // Sets the local clock to a date plus a time of day (raises on refusal).
    void (*set_clock)(DATE date, DATE time);
    // The IP-enabled rows of WMI's adapter configurations, in WMI's order.
    std::vector<ComPtr<IDispatch>> (*ip_configurations)();
};
Platform& platform();
void reset_platform();

// A function of a system DLL that only a few members need, loaded when first
// asked for; raises 453 when the system has none.
void* system_entry(const wchar_t* dll, const char* name);
template <class F>
F system_function(const wchar_t* dll, const char* name) {
    return reinterpret_cast<F>(system_entry(dll, name));
}

// Runs f on a thread of its own and waits for it: false when f ended in an
// entry point that the system exports without implementing it (such a call
// raises instead of returning), true when it returned.
bool guarded(const std::function<void()>& f);

// --- adapters ----------------------------------------------------------------
// One Ethernet interface of the interface table: its description and the
// kilobytes received and sent, as plain digits.
struct Ethernet {
    std::wstring description;
    std::wstring received;
    std::wstring sent;
};
std::vector<Ethernet> ethernet_interfaces();
// The six bytes of an adapter address as "0A-1B-2C-3D-4E-5F".
std::wstring mac_text(const unsigned char* address);

}  // namespace qm::net
