// Shell: running programs.
#pragma once
#include "runtime/dispatch.h"
#include "runtime/interfaces.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm {

class Shell : public Dispatch<_Shell> {
public:
    // Starting
    HRESULT STDMETHODCALLTYPE Execute(BSTR* Path, BSTR* Param, LONG* WinStyle, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DOS_Execute(BSTR Command, BSTR* Param, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE RunAsUser(BSTR UserName, BSTR Password, BSTR Domain, BSTR AppPath,
                                        VARIANT_BOOL* result) override;

    // Waiting
    HRESULT STDMETHODCALLTYPE ExecuteAndWait(BSTR AppPath, LONG WindowStyle, LONG* result) override;
    HRESULT STDMETHODCALLTYPE WaitForTask(BSTR* Path, BSTR* WindowCaption, LONG* ErrorNumber,
                                          VARIANT_BOOL* result) override;
};

// A command line made of a program path and arguments: the path is quoted when
// it names an existing file and holds blanks, so that it runs that file.
std::wstring shell_command_line(std::wstring_view program, std::wstring_view arguments = {});

// A path as one argument of the file manager's "/select," and "/root,", which it
// splits at commas (blanks are fine): quoted when it holds a comma, with no "\"
// before the closing quote. Nothing for a path holding a quote, which no name holds.
std::optional<std::wstring> explorer_argument(std::wstring_view path);

}  // namespace qm
