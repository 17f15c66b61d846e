// FTP: one internet session per instance and a table of server connections,
// each found by its server name in lower case.
#include "system/ftp.h"

#include <wininet.h>

#include <algorithm>
#include <string>
#include <vector>

#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/contract.h"
#include "runtime/convert.h"
#include "runtime/safearray.h"
#include "runtime/strings.h"

namespace qm {

namespace {

constexpr long kDone = 1, kFailed = 0, kNotConnected = -1;

std::wstring str(BSTR s) { return std::wstring(text_of(s)); }

// Whether a text can go to the server as one word of a command: a control
// character (a line break above all) would end the command and start another.
bool one_word(BSTR s) {
    const std::wstring_view text = text_of(s);
    return std::none_of(text.begin(), text.end(), [](wchar_t c) { return c < L' '; });
}

// The names of a folder's entries, files and folders apart, in server order.
struct Listing {
    std::vector<std::wstring> files, folders;
};

bool list_folder(HINTERNET connection, Listing& out) {
    WIN32_FIND_DATAW entry{};
    HINTERNET find = FtpFindFirstFileW(connection, L"*.*", &entry, 0, 0);
    if (!find) return false;
    do {
        std::wstring name(entry.cFileName, wcsnlen(entry.cFileName, MAX_PATH));
        (FTP::is_folder(entry.dwFileAttributes) ? out.folders : out.files).push_back(std::move(name));
    } while (InternetFindNextFileW(find, &entry));
    InternetCloseHandle(find);
    return true;
}

// The names as a zero-based Variant array; Empty when there is none.
void store_names(VARIANT* target, const std::vector<std::wstring>& names) {
    VARIANT* v = target;
    while (V_VT(v) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(v)) v = V_VARIANTREF(v);
    check(VariantClear(v));
    std::vector<Variant> items;
    for (const auto& name : names)
        if (!name.empty()) items.emplace_back(name);
    if (items.empty()) return;
    variant_array(items).to_variant().detach(v);
}

}  // namespace

FTP::~FTP() {
    if (table_)
        for (const Row& row : *table_)
            if (!row.server.empty()) InternetCloseHandle(row.connection);
    if (session_) InternetCloseHandle(session_);
}

void* FTP::find(std::wstring_view server) const {
    if (!table_) return nullptr;
    const std::wstring key = LCase(server);
    if (key.empty()) return nullptr;
    for (const Row& row : *table_)
        if (row.server == key) return row.connection;
    return nullptr;
}

long FTP::on_server(BSTR server, BOOL (*operation)(void*, const std::wstring&, const std::wstring&), BSTR first,
                    BSTR second) {
    void* connection = find(text_of(server));
    if (!connection) return kNotConnected;
    if (!one_word(first) || !one_word(second)) return kFailed;
    return operation(connection, str(first), str(second)) ? kDone : kFailed;
}

// 1 connected, 0 refused, -1 already connected (whatever the credentials).
HRESULT FTP::Connect(IE_OpenType* IEopen, BSTR Server, BSTR UserName, BSTR Password, long Port,
                     VARIANT_BOOL PassiveConnection, long* result) {
    return untrapped(result, [&]() -> long {
        if (find(text_of(Server))) return kNotConnected;
        if (Port < 0 || Port > 0xFFFF) raise(err::Overflow);
        if (!one_word(Server) || !one_word(UserName) || !one_word(Password)) return kFailed;
        if (!session_)
            session_ = InternetOpenW(L"Velkor", IEopen ? static_cast<DWORD>(*IEopen) : 0, nullptr, nullptr, 0);
        const DWORD flags = PassiveConnection ? INTERNET_FLAG_PASSIVE : 0;
        HINTERNET connection = InternetConnectW(session_, str(Server).c_str(), static_cast<INTERNET_PORT>(Port),
                                                str(UserName).c_str(), str(Password).c_str(), INTERNET_SERVICE_FTP,
                                                flags, 0);
        if (!connection) return kFailed;
        if (!table_) table_.emplace();
        Row* row = nullptr;
        for (Row& r : *table_)
            if (r.server.empty()) {
                row = &r;
                break;
            }
        if (!row) row = &table_->emplace_back();
        row->server = LCase(text_of(Server));
        row->connection = connection;
        return kDone;
    });
}

HRESULT FTP::Disconnect(BSTR Server, long* result) {
    return untrapped(result, [&]() -> long {
        if (!table_) return kNotConnected;
        const std::wstring key = LCase(text_of(Server));
        for (Row& row : *table_) {
            if (key.empty() || row.server != key) continue;
            if (!InternetCloseHandle(row.connection)) return kFailed;
            row.server.clear();
            row.connection = nullptr;
            return kDone;
        }
        return kNotConnected;
    });
}

// Closes every connection; only when all closed does the table go and the
// session close (its closing is the result).
HRESULT FTP::DisconnectAll(VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        if (!session_) return false;
        bool all = true;
        if (table_)
            for (Row& row : *table_) {
                if (row.server.empty()) continue;
                if (InternetCloseHandle(row.connection)) {
                    row.server.clear();
                    row.connection = nullptr;
                } else {
                    all = false;
                }
            }
        if (!all) return false;
        table_.reset();
        const bool closed = InternetCloseHandle(session_) != FALSE;
        session_ = nullptr;
        return closed;
    });
}

// The server's last answer on this thread: ErrorCode "0" and the text, or the
// error's number and "Error n: text".
HRESULT FTP::Get_LastResponse(BSTR* ErrorCode, BSTR* ErrorStr) {
    return untrapped([&] {
        DWORD code = 0;
        std::string text(1024, '\0');
        DWORD length = static_cast<DWORD>(text.size());
        while (!InternetGetLastResponseInfoA(&code, text.data(), &length)) {
            if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || length <= text.size()) {
                length = 0;
                break;
            }
            text.assign(length + 1, '\0');
        }
        text.resize(std::min<size_t>(length, text.size()));
        text.resize(strnlen(text.data(), text.size()));
        std::wstring response = from_ansi(text), number = CStr(static_cast<long>(code));
        if (code != 0) response = L"Error " + number + L": " + response;
        if (ErrorCode) {
            SysFreeString(*ErrorCode);
            *ErrorCode = Bstr(number).detach();
        }
        if (ErrorStr) {
            SysFreeString(*ErrorStr);
            *ErrorStr = Bstr(response).detach();
        }
    });
}

HRESULT FTP::Get_CurrentDirectory(BSTR Server, BSTR* result) {
    return untrapped(result, [&] {
        void* connection = find(text_of(Server));
        if (!connection) return std::wstring();
        wchar_t folder[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (!FtpGetCurrentDirectoryW(connection, folder, &length)) return std::wstring();
        return std::wstring(folder, wcsnlen(folder, MAX_PATH));
    });
}

HRESULT FTP::DirectoryCreate(BSTR Server, BSTR Directory, long* result) {
    return untrapped(result, [&] {
        return on_server(Server, [](void* c, const std::wstring& d, const std::wstring&) {
            return FtpCreateDirectoryW(c, d.c_str());
        }, Directory);
    });
}

HRESULT FTP::DirectoryRemove(BSTR Server, BSTR Directory, long* result) {
    return untrapped(result, [&] {
        return on_server(Server, [](void* c, const std::wstring& d, const std::wstring&) {
            return FtpRemoveDirectoryW(c, d.c_str());
        }, Directory);
    });
}

HRESULT FTP::Set_CurrentDirectory(BSTR Server, BSTR Directory, long* result) {
    return untrapped(result, [&] {
        return on_server(Server, [](void* c, const std::wstring& d, const std::wstring&) {
            return FtpSetCurrentDirectoryW(c, d.c_str());
        }, Directory);
    });
}

HRESULT FTP::FileRemove(BSTR Server, BSTR File, long* result) {
    return untrapped(result, [&] {
        return on_server(Server, [](void* c, const std::wstring& f, const std::wstring&) {
            return FtpDeleteFileW(c, f.c_str());
        }, File);
    });
}

HRESULT FTP::Rename(BSTR Server, BSTR Source, BSTR NewName, long* result) {
    return untrapped(result, [&] {
        return on_server(Server, [](void* c, const std::wstring& from, const std::wstring& to) {
            return FtpRenameFileW(c, from.c_str(), to.c_str());
        }, Source, NewName);
    });
}

// An empty RemoteFile becomes, for the client too, the local file's name.
HRESULT FTP::Upload(BSTR Server, BSTR LocalFile, TransferType TransferModus, BSTR* RemoteFile, long* result) {
    return untrapped(result, [&]() -> long {
        void* connection = find(text_of(Server));
        if (!connection) return kNotConnected;
        Bstr remote = RemoteFile ? Bstr::copy(*RemoteFile) : Bstr();
        if (remote.empty()) {
            check(shared<_File>()->Get_FileFromPath(LocalFile, remote.put()));
            if (RemoteFile) {
                SysFreeString(*RemoteFile);
                *RemoteFile = Bstr(remote).detach();
            }
        }
        if (!one_word(remote.get())) return kFailed;
        return FtpPutFileW(connection, str(LocalFile).c_str(), remote.str().c_str(),
                           static_cast<DWORD>(TransferModus), 0)
                   ? kDone
                   : kFailed;
    });
}

// An existing local file is overwritten.
HRESULT FTP::Download(BSTR Server, BSTR RemoteFile, BSTR LocalFile, TransferType* TransferModus, long* result) {
    return untrapped(result, [&]() -> long {
        void* connection = find(text_of(Server));
        if (!connection) return kNotConnected;
        if (!one_word(RemoteFile)) return kFailed;
        const DWORD flags = TransferModus ? static_cast<DWORD>(*TransferModus) : 0;
        return FtpGetFileW(connection, str(RemoteFile).c_str(), str(LocalFile).c_str(), FALSE, 0, flags, 0)
                   ? kDone
                   : kFailed;
    });
}

// True once the server is connected, also when the listing fails; the lists
// are Empty without names and zero-based Variant arrays otherwise.
HRESULT FTP::Get_FileList(BSTR Server, VARIANT* FileList, VARIANT* DirectoryList, VARIANT_BOOL* result) {
    return untrapped(result, [&] {
        Listing none;
        if (FileList) store_names(FileList, none.files);
        if (DirectoryList) store_names(DirectoryList, none.folders);
        void* connection = find(text_of(Server));
        if (!connection) return false;
        Listing listing;
        if (!list_folder(connection, listing)) listing = {};
        if (FileList) store_names(FileList, listing.files);
        if (DirectoryList) store_names(DirectoryList, listing.folders);
        return true;
    });
}

}  // namespace qm
