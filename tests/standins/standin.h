// The tests' own automation server: small stand-ins for components that do not
// exist here (the database objects, the catalog, the word processor), and an
// object that fails on demand. Each object answers late-bound calls through a
// name table; a failure is a Fail, which the caller sees as the component's own
// error number and text, or a Refusal, the bare HRESULT of Invoke.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace standin {

// Class identifiers of the stand-ins. The connection, record set, catalog and
// failing object are registered as QuillmarkTest.*; the catalog and the word processor answer to the
// real components' names only while a test maps those names to them.
// {33DD5B10-DB2E-4842-891F-2D201B45E6E1}
inline constexpr CLSID CLSID_Connection = {0x33dd5b10, 0xdb2e, 0x4842,
                                           {0x89, 0x1f, 0x2d, 0x20, 0x1b, 0x45, 0xe6, 0xe1}};
// {F54E58E0-BC05-41B0-9B6C-C1A7A72626DB}
inline constexpr CLSID CLSID_Recordset = {0xf54e58e0, 0xbc05, 0x41b0,
                                          {0x9b, 0x6c, 0xc1, 0xa7, 0xa7, 0x26, 0x26, 0xdb}};
// {8BF41430-F376-48A3-9FD9-7F5B3BA821F0}
inline constexpr CLSID CLSID_Catalog = {0x8bf41430, 0xf376, 0x48a3,
                                        {0x9f, 0xd9, 0x7f, 0x5b, 0x3b, 0xa8, 0x21, 0xf0}};
// {80487982-D740-4EFD-A394-2B305494150A}
inline constexpr CLSID CLSID_Failing = {0x80487982, 0xd740, 0x4efd,
                                        {0xa3, 0x94, 0x2b, 0x30, 0x54, 0x94, 0x15, 0x0a}};
// {3759186E-8406-494B-A5B6-925344130AB9}
inline constexpr CLSID CLSID_Word = {0x3759186e, 0x8406, 0x494b,
                                     {0xa5, 0xb6, 0x92, 0x53, 0x44, 0x13, 0x0a, 0xb9}};

// A failed call: the HRESULT and the description the client sees (an exception
// without description when the text is empty).
struct Fail {
    HRESULT code;
    std::wstring text;
};
// A call that Invoke itself fails with the HRESULT, no exception filled in.
struct Refusal {
    HRESULT code;
};
// Run-time style errors of the database objects (0x800A0000 + number).
[[noreturn]] void fail(long number, std::wstring text);
[[noreturn]] void fail_hr(HRESULT code, std::wstring text);

std::wstring lower(std::wstring s);
const VARIANT& deref(const VARIANT& v);
// The text of a value (Null and Empty give "").
std::wstring text_of(const VARIANT& v);
long long_of(const VARIANT& v);
bool is_omitted(const VARIANT& v);

// One call: arguments in natural order (by-reference variables followed), the
// value of a property put.
struct Call {
    WORD flags = 0;
    std::vector<const VARIANT*> args;
    const VARIANT* value = nullptr;

    bool put() const { return value != nullptr; }
    size_t count() const { return args.size(); }
    const VARIANT& arg(size_t i) const;  // 449 when missing
    const VARIANT& set_value() const;    // the put's value; 450 for a get
};

// Result makers: each clears nothing, result may be null.
void ret_long(VARIANT* result, long v);
void ret_bool(VARIANT* result, bool v);
void ret_text(VARIANT* result, const std::wstring& v);
void ret_object(VARIANT* result, IDispatch* owned);  // takes the reference
void ret_copy(VARIANT* result, const VARIANT& v);

// The base of every stand-in: IUnknown and IDispatch over a table of member
// names (DISPID = position + 1; DISPID_VALUE goes to default_member).
class Object : public IDispatch {
public:
    Object(std::initializer_list<const wchar_t*> names, DISPID default_member);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* arg_err) override;

    // The stand-in behind an IDispatch of this server (null for any other object).
    static Object* of(IUnknown* unknown);

protected:
    virtual void invoke(DISPID id, const Call& call, VARIANT* result) = 0;

private:
    std::vector<const wchar_t*> names_;
    DISPID default_;
    LONG refs_ = 1;
};

// Live objects and locks of the server (for DllCanUnloadNow).
extern LONG g_objects;

// Object makers of the server's classes.
IDispatch* make_connection();
IDispatch* make_recordset();
IDispatch* make_catalog();
IDispatch* make_word();
IDispatch* make_failing();

// The word processor's record of calls, one line each.
std::wstring word_log();
void word_reset();

}  // namespace standin
