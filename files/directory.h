// Directory: folders.
#pragma once
#include <string>

#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

namespace qm {

class Directory : public Dispatch<_Directory> {
public:
    // Existence, listings and the shell's operations (directory_list.cpp)
    HRESULT STDMETHODCALLTYPE DirectoryDeleteFiles(BSTR Directory, VARIANT FileList, VARIANT_BOOL* DeleteAllFiles,
                                                   long* result) override;
    HRESULT STDMETHODCALLTYPE Exist(BSTR Path, VARIANT_BOOL* sCreatePath, VARIANT_BOOL* result) override;

    // The browse dialog and the owner (directory_browse.cpp)
    HRESULT STDMETHODCALLTYPE BrowseForDirectory(BROWSENFO* BROWSEINFO, BSTR* result) override;

    // Creation (directory_create.cpp)
    HRESULT STDMETHODCALLTYPE CreatePath(BSTR Path, VARIANT_BOOL* result) override;

    HRESULT STDMETHODCALLTYPE DirectoryDeleteSubDirs(BSTR Directory, VARIANT DirList, VARIANT_BOOL* DeleteAllSubDirs,
                                                     long* result) override;

    // Deleting, the access probe, the file manager (directory_tools.cpp)
    HRESULT STDMETHODCALLTYPE Delete(BSTR Directory, VARIANT_BOOL DeleteContent, long* result) override;
    HRESULT STDMETHODCALLTYPE DirectoryIsAccesable(BSTR Directory, long* ErrorNumber,
                                                   DIRECTORYACCESSINFO* result) override;
    HRESULT STDMETHODCALLTYPE DelTree(BSTR Directory) override;
    HRESULT STDMETHODCALLTYPE OpenPath(BSTR Path, BSTR* SelectedItem, VARIANT_BOOL* isRoot,
                                       VARIANT_BOOL* result) override;

    HRESULT STDMETHODCALLTYPE isDirectoryEmpty(BSTR Directory, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE Read(BSTR Directory, VARIANT* DirList, VARIANT* FileList, long* Attributes,
                                   long* result) override;
    HRESULT STDMETHODCALLTYPE isDirectoryContainingDirs(BSTR Directory, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE isDirectoryContainingFiles(BSTR Directory, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DirectroryOperation(DIROPEATION* OPERATION, long* result) override;
    HRESULT STDMETHODCALLTYPE PathIsDirectory(BSTR* Path, VARIANT_BOOL* result) override;

    HRESULT STDMETHODCALLTYPE Get_Owner(BSTR Directory, BSTR* result) override;

    // The recursive walks (directory_walks.cpp)
    HRESULT STDMETHODCALLTYPE Find(BSTR DirectoryToFind, BSTR StartSearchPath, VARIANT_BOOL* SearchAllDrives,
                                   VARIANT_BOOL* ShowProgress, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE Get_DirectoryInfo(BSTR Directory, VARIANT_BOOL InclSubDirectorys,
                                                VARIANT_BOOL ShowProgress, DIRECTORYINFO* result) override;
    HRESULT STDMETHODCALLTYPE Get_DirectorySize(BSTR Directory, VARIANT_BOOL InclSubDirectorys,
                                                VARIANT_BOOL* ShowProgress, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE ReadAllSubDirs(BSTR Directory, VARIANT_BOOL* ShowProgress, SAFEARRAY** result) override;
};

// Shows the shell's folder-browse dialog as the record asks; the chosen folder's
// path ("" when cancelled or when the item has none). RETURNEDFOLDERPATH takes
// the chosen item's display name when the dialog gave one.
std::wstring Show_BrowseForFolder(BROWSENFO& Info);

}  // namespace qm
