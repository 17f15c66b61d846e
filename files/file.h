// File: single files (existence, deletion, copying, paths, raw bytes, checksums,
// splitting and joining, the library's archive file, dialogs, file types).
#pragma once
#include <functional>
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

    // Raw reads and writes
    HRESULT STDMETHODCALLTYPE ReadAsByte(BSTR File, long* ErrorNumber, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE SaveAsByte(SAFEARRAY** B, BSTR File, VARIANT_BOOL* OverwriteExist, long* ErrorNumber,
                                         VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Binary_Write(BSTR File, SAFEARRAY** sByte, VARIANT_BOOL* OverwriteExist,
                                           long* result) override;
    HRESULT STDMETHODCALLTYPE Binary_Read(BSTR File, long ReadLenght, enum ReadAs* ReadAs, long offset,
                                          long* ErrorNumber, SAFEARRAY** result) override;

    // Checksums
    HRESULT STDMETHODCALLTYPE SFV_GetSFVFromFile(BSTR File, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE SFV_Compare(BSTR File1, BSTR File2, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SFV_Validate(BSTR File, BSTR* SFVs, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SFV_CreateSFVfile(VARIANT File, BSTR* SFVfile, VARIANT_BOOL* result) override;

    // Splitting and joining
    HRESULT STDMETHODCALLTYPE Split(BSTR File, long KBperFile, BSTR* OutputFile, VARIANT_BOOL* CreateBatch,
                                    long* result) override;
    HRESULT STDMETHODCALLTYPE Join(BSTR StartFile, BSTR* OutputFile, long* result) override;

    // The library's archive file
    HRESULT STDMETHODCALLTYPE Archive_Pack(SAFEARRAY** FileS, BSTR* TargetArchive, long* result) override;
    HRESULT STDMETHODCALLTYPE Archive_Extract(BSTR ArchiveFile, BSTR TargetPath, long* result) override;

    // Dialogs, Explorer, properties, icon and clipboard (file_dialogs.cpp, file_desktop.cpp)
    HRESULT STDMETHODCALLTYPE Show_FileDialogOpen(long hwnd, BSTR Filter, long* XPos, long* YPos,
                                                  BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Show_FileDialogSave(long hwnd, BSTR Filter, BSTR* Filename, long* XPos, long* YPos,
                                                  BSTR* result) override;
    HRESULT STDMETHODCALLTYPE BrowseForFile(BROWSENFO* BROWSEINFO, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Show_FilePropertiesDialog(long hwnd, BSTR File, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE OpenInExplorer(BSTR File, long* ErrorNumber, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_LinkedIconFromFile(BSTR File, VARIANT_BOOL* SmallIcon,
                                                     IPictureDisp** result) override;
    HRESULT STDMETHODCALLTYPE FilesToClipboard(VARIANT* FileList, VARIANT_BOOL* result) override;

    // File types, package extraction and running programs (file_types.cpp)
    HRESULT STDMETHODCALLTYPE RegisterExtension(BSTR AppName, BSTR AppPath, BSTR AppReg, BSTR AppExt,
                                                BSTR* IconFile, long* IconId, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_RegisteredFileTypes(SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE FileType_IsRegistered(BSTR Prefix, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Get_FileTypeDescription(BSTR File, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CABfile_Extract(BSTR CABFile, BSTR SourceFile, BSTR DestPath,
                                              VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE MSI_Extract(BSTR MSIfile, BSTR OutputDirectory) override;
    HRESULT STDMETHODCALLTYPE isEXERunning(BSTR EXENAME, VARIANT_BOOL* Path, VARIANT_BOOL* result) override;

    // Copies length bytes from the current position of one open file to the
    // current position of another, in blocks of 32,768 bytes (also used by the
    // splitting and joining members).
    static void Copy_FileBlocks(long long length, RtFile& from, RtFile& to);

    // The chunk of BinCopy, Split and Join: 1,024,000 bytes, moved with one read
    // and one write through one page-aligned buffer.
    static constexpr long long kChunkSize = 1024000;
    class ChunkCopier {
    public:
        // A buffer for chunks of up to min(largest, kChunkSize) bytes.
        explicit ChunkCopier(long long largest);
        ChunkCopier(const ChunkCopier&) = delete;
        ChunkCopier& operator=(const ChunkCopier&) = delete;
        ~ChunkCopier();
        // Copies n bytes (at most one chunk) from the current position of one
        // open file to the current position of the other; 62 when the source
        // ends first.
        void copy(RtFile& from, RtFile& to, long long n);

    private:
        char* data_ = nullptr;
        size_t size_ = 0;
    };

private:
    bool exists(std::wstring_view path, long* error = nullptr);
    long kill(std::wstring_view path);
};

// The entries of an archive file's bytes, each as the plain file name after the
// last "\" or "/" of its path and its content, after the whole archive was
// checked: a broken layout (an upper bound the bytes cannot hold, a length past
// the entries, entries that do not end where the upper bound begins) raises 62,
// a name that is no plain file name (empty, dots only, with ":" or another
// character invalid in names, a device) raises 52, before visit is called once.
void for_each_archive_entry(std::string_view archive,
                            const std::function<void(const std::wstring& name, std::string_view content)>& visit);

}  // namespace qm
