// The automation face of the forms engine: every form, control and collection is
// an IDispatch object that answers its member names case-insensitively from a
// table, raises 438 for a name it does not know and reports run-time errors the
// way the runtime does (DISP_E_EXCEPTION with the error number in the scode).
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "runtime/bstr.h"
#include "runtime/com_ptr.h"
#include "runtime/errors.h"
#include "runtime/variant.h"

namespace qm::forms {

class Object;

// The positional arguments of a call, in natural order (by-reference values followed).
class Args {
public:
    explicit Args(DISPPARAMS* params) noexcept;
    size_t size() const noexcept { return count_; }
    bool has(size_t i) const noexcept;  // given and not an omitted optional
    const VARIANT& at(size_t i) const;  // 449 when absent
    long lng(size_t i) const;
    long lng(size_t i, long fallback) const { return has(i) ? lng(i) : fallback; }
    float sng(size_t i) const;
    float sng(size_t i, float fallback) const { return has(i) ? sng(i) : fallback; }
    bool boolean(size_t i) const;
    std::wstring str(size_t i) const;
    std::wstring str(size_t i, std::wstring_view fallback) const { return has(i) ? str(i) : std::wstring(fallback); }
    IDispatch* obj(size_t i) const;  // not AddRef'd; nullptr for Nothing

private:
    DISPPARAMS* p_;
    size_t count_;
};

using Getter = Variant (*)(Object&, const Args&);
using Putter = void (*)(Object&, const Args&, const VARIANT& value);

// One named member: a property (get and, unless read-only, put) or a method (get only).
struct Member {
    const wchar_t* name;
    Getter get = nullptr;
    Putter put = nullptr;
};

// The members of one kind of object, with those of its bases after its own.
class Table {
public:
    Table(std::vector<const Table*> bases, std::vector<Member> own, const wchar_t* default_member = nullptr);
    const Member* find(std::wstring_view name, DISPID* id) const noexcept;
    const Member* at(DISPID id) const noexcept;
    DISPID default_id() const noexcept { return default_; }

private:
    std::vector<Member> flat_;
    DISPID default_ = DISPID_UNKNOWN;
};

// {D3E1A0C2-6B8F-4C1E-9A57-2F0B7C4E91A5}: asks an IDispatch whether it is one of ours.
inline constexpr GUID IID_FormsObject = {0xd3e1a0c2, 0x6b8f, 0x4c1e, {0x9a, 0x57, 0x2f, 0x0b, 0x7c, 0x4e, 0x91, 0xa5}};

class Object : public IDispatch {
public:
    Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* excep, UINT* arg_err) override;

    // The name that TypeName-style tests read ("ListBox", "Form", ...).
    virtual const wchar_t* type_name() const noexcept = 0;
    virtual const Table& table() const = 0;

    // Late-bound access from C++ with the same semantics as a client's.
    Variant get(std::wstring_view name);
    void put(std::wstring_view name, const VARIANT& value);

protected:
    virtual ~Object();
    // Names beyond the table (a form's controls and public fields): ids >= kDynamic.
    static constexpr DISPID kDynamic = 0x10000;
    virtual DISPID dynamic_id(std::wstring_view) { return DISPID_UNKNOWN; }
    virtual Variant dynamic_get(DISPID, const Args&) { raise(err::NotSupported); }
    virtual void dynamic_put(DISPID, const Args&, const VARIANT&) { raise(err::NotSupported); }
    // For Each support (collections).
    virtual ComPtr<IEnumVARIANT> enumerate() { raise(err::NotSupported); }
    // Runs before every late-bound call (a predeclared form loads itself here).
    virtual void touched() {}

private:
    Variant invoke(DISPID id, WORD flags, DISPPARAMS* params);
    LONG refs_ = 1;
};

// A new object of ours, owned by the returned reference.
template <class T, class... A>
ComPtr<T> make(A&&... a) {
    ComPtr<T> p;
    *p.put() = new T(std::forward<A>(a)...);
    return p;
}

// The object behind an IDispatch when it is one of ours (not AddRef'd), else nullptr.
Object* object_of(IUnknown* unknown) noexcept;

// --- values ---------------------------------------------------------------------
Variant var(IDispatch* object);  // VT_DISPATCH (Nothing for nullptr)
template <class I>
Variant var(const ComPtr<I>& object) {
    return var(static_cast<IDispatch*>(object.get()));
}
inline Variant var(long v) { return Variant(v); }
inline Variant var(int v) { return Variant(static_cast<long>(v)); }
inline Variant var(float v) { return Variant(v); }
inline Variant var(bool v) { return Variant(v); }
inline Variant var(const std::wstring& v) { return Variant(v); }

// An enumerator over a snapshot of values (For Each).
ComPtr<IEnumVARIANT> make_enum(std::vector<Variant> items);

// The standard error numbers the forms engine raises besides those of errors.h.
namespace ferr {
constexpr long ReadOnly = 383;           // the property is read-only
constexpr long NoSuchElement = 340;      // a control array element that does not exist
constexpr long CannotUnloadDesign = 362; // a control placed at design time cannot be unloaded
constexpr long AlreadyLoaded = 360;      // the control array element is already loaded
constexpr long InvalidPicture = 481;
constexpr long ClipboardOpen = 521;
}  // namespace ferr

// Table helpers: a member from a getter and an optional setter of a class.
template <class T>
T& self(Object& o) {
    if constexpr (std::is_base_of_v<Object, T>)
        return static_cast<T&>(o);
    else
        return dynamic_cast<T&>(o);
}

}  // namespace qm::forms
