// A small in-process script host: runs VBScript or JScript against objects
// that the test hands in, as a client script would use them.
#pragma once
#include <windows.h>
#include <activscp.h>

#include <map>
#include <string>

#include "runtime/com_ptr.h"
#include "runtime/variant.h"

namespace qmtest {

class ScriptHost {
public:
    explicit ScriptHost(const wchar_t* language);  // L"VBScript" or L"JScript"
    ~ScriptHost();
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    bool ready() const { return static_cast<bool>(parse_); }
    void add_object(const wchar_t* name, IDispatch* object);

    // Runs statements; S_OK or the failing HRESULT (error() then has the details).
    HRESULT run(const std::wstring& code);
    // Evaluates an expression; VT_EMPTY on failure.
    qm::Variant eval(const std::wstring& expr);

    struct Error {
        HRESULT scode = S_OK;
        std::wstring description;
    };
    const Error& error() const { return error_; }

private:
    class Site;
    qm::ComPtr<IActiveScript> script_;
    qm::ComPtr<IActiveScriptParse> parse_;
    Site* site_ = nullptr;
    Error error_;
    friend class Site;
};

}  // namespace qmtest
