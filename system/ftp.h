// FTP: FTP sessions.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class FTP : public Dispatch<_FTP> {
public:
    // An instance that ends closes its connections and its session.
    ~FTP() override;

    HRESULT STDMETHODCALLTYPE Disconnect(BSTR Server, long* result) override;
    HRESULT STDMETHODCALLTYPE DisconnectAll(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Connect(IE_OpenType* IEopen, BSTR Server, BSTR UserName, BSTR Password, long Port,
                                      VARIANT_BOOL PassiveConnection, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_LastResponse(BSTR* ErrorCode, BSTR* ErrorStr) override;
    HRESULT STDMETHODCALLTYPE Get_CurrentDirectory(BSTR Server, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE DirectoryCreate(BSTR Server, BSTR Directory, long* result) override;
    HRESULT STDMETHODCALLTYPE DirectoryRemove(BSTR Server, BSTR Directory, long* result) override;
    HRESULT STDMETHODCALLTYPE Set_CurrentDirectory(BSTR Server, BSTR Directory, long* result) override;
    HRESULT STDMETHODCALLTYPE Upload(BSTR Server, BSTR LocalFile, TransferType TransferModus, BSTR* RemoteFile,
                                     long* result) override;
    HRESULT STDMETHODCALLTYPE Rename(BSTR Server, BSTR Source, BSTR NewName, long* result) override;
    HRESULT STDMETHODCALLTYPE Download(BSTR Server, BSTR RemoteFile, BSTR LocalFile, TransferType* TransferModus,
                                       long* result) override;
    HRESULT STDMETHODCALLTYPE FileRemove(BSTR Server, BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_FileList(BSTR Server, VARIANT* FileList, VARIANT* DirectoryList,
                                           VARIANT_BOOL* result) override;

    // One row of the connection table: a server name in lower case (empty for a
    // free row) and its connection.
    struct Row {
        std::wstring server;
        void* connection = nullptr;  // HINTERNET
    };
    // The connection table (none before the first connection and after a
    // complete DisconnectAll) and the session.
    const std::optional<std::vector<Row>>& table() const noexcept { return table_; }
    void* session() const noexcept { return session_; }

    // A listing entry is a folder when its directory bit is set.
    static bool is_folder(DWORD attributes) noexcept { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

private:
    // The connection of a server, or null when none is open.
    void* find(std::wstring_view server) const;
    long on_server(BSTR server, BOOL (*operation)(void*, const std::wstring&, const std::wstring&),
                   BSTR first, BSTR second = nullptr);

    void* session_ = nullptr;  // HINTERNET
    std::optional<std::vector<Row>> table_;
};

}  // namespace qm
