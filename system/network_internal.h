// Network: the pieces of the internet members that stand on their own.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

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
// "&Body=" ..., with "%", "&", "?", "#", CR and LF of the two fields coded.
std::wstring mail_address_text(std::wstring_view to, std::wstring_view subject, std::wstring_view body);
// The content of an internet shortcut file for url (without the final line end).
std::wstring shortcut_text(std::wstring_view url);
// The browser a program path names (by its file name, case-insensitive).
DefaultBrowser browser_of(std::wstring_view program);
// Writes the internet shortcut file; false when it cannot be written.
bool write_shortcut(std::wstring_view url, std::wstring_view file);

}  // namespace qm::net
