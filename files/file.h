// File: single files (existence, deletion, copying, paths).
#pragma once
#include <string>
#include <string_view>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class RtFile;

class File : public Dispatch<_File> {
public:
    // Existence, creation, deletion, renaming
    HRESULT STDMETHODCALLTYPE Exist(BSTR File, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Create_File(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Get_FileLen(BSTR File, long* ErrorNumber, long* result) override;
    HRESULT STDMETHODCALLTYPE fKill(BSTR File, long* result) override;
    HRESULT STDMETHODCALLTYPE Compare(BSTR File1, BSTR File2, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isInUse(BSTR Path, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TempFile_Create(BSTR* Directory, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ShredderFile(BSTR Path, long* WriteLoop, long* result) override;
    HRESULT STDMETHODCALLTYPE FileOperation(FOPEATION* OPERATION, long* result) override;
    HRESULT STDMETHODCALLTYPE MOVETORECYCLEBIN(BSTR* File, VARIANT_BOOL* Confirm, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Rename(BSTR File, BSTR NewName, VARIANT_BOOL* DeleteExist, long* result) override;
    HRESULT STDMETHODCALLTYPE Hardlink_Create(BSTR SourceFile, BSTR TargetFile, long* result) override;

    // Copying
    HRESULT STDMETHODCALLTYPE BinCopy(BSTR SourceFile, BSTR TargetDirectory, VARIANT_BOOL* ShowProgress,
                                      long* ScrollColor, BSTR* MessageText, BYTE* MessageTransparenz,
                                      long* result) override;

    // Paths
    HRESULT STDMETHODCALLTYPE Get_FileFromPath(BSTR Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DirectoryFromPath(BSTR Path, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_Path(BSTR File, long* ErrorNumber, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_RootFromPath(BSTR Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_PrefixFromPath(BSTR Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_LongPath(BSTR Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_ShortPath(BSTR Path, BSTR* result) override;

    // Copies length bytes from the current position of one open file to the
    // current position of another, in blocks of 32,768 bytes (also used by the
    // splitting and joining members).
    static void Copy_FileBlocks(long long length, RtFile& from, RtFile& to);

private:
    bool exists(std::wstring_view path, long* error = nullptr);
    long kill(std::wstring_view path);
};

}  // namespace qm
