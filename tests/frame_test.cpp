// The library frame: every class is creatable and callable both ways, the
// library's version, object numbers, shared instances and unloading.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "frame/classes.h"
#include "frame/error_sources.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"
#include "support.h"

using qm::Bstr;
using qm::ComPtr;
using qm::Variant;
using namespace qmtest;

namespace {

TEST(Classes, AllTwentySevenAreCreatableByProgIdAndClsid) {
    auto all = qm::classes();
    ASSERT_EQ(all.size(), 27u);
    for (const auto& c : all) {
        std::wstring progid = std::wstring(L"Quillmark.") + c.name;
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(progid.c_str(), &clsid), S_OK) << c.name;
        EXPECT_TRUE(IsEqualCLSID(clsid, *c.clsid)) << c.name;

        ComPtr<IUnknown> unk;
        ASSERT_EQ(CoCreateInstance(*c.clsid, nullptr, CLSCTX_INPROC_SERVER, *c.iid, unk.put_void()), S_OK) << c.name;
        ComPtr<IDispatch> disp = unk.query<IDispatch>();
        ASSERT_TRUE(disp) << c.name;
        ComPtr<ISupportErrorInfo> sei = unk.query<ISupportErrorInfo>();
        ASSERT_TRUE(sei) << c.name;
        EXPECT_EQ(sei->InterfaceSupportsErrorInfo(*c.iid), S_OK);

        // The type information names the hidden interface after the class.
        ComPtr<ITypeInfo> ti;
        ASSERT_EQ(disp->GetTypeInfo(0, 0, ti.put()), S_OK) << c.name;
        Bstr name;
        ti->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr);
        EXPECT_EQ(name.str(), L"_" + std::wstring(c.name));
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(ti->GetTypeAttr(&attr), S_OK);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
        EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
        ti->ReleaseTypeAttr(attr);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(CoCreateInstance(IID_IDispatch, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, none.put_void()),
              REGDB_E_CLASSNOTREG);
}

TEST(Classes, VersionComesFromTheVersionResource) {
    std::wstring dll = registered_dll();
    ASSERT_FALSE(dll.empty());
    DWORD handle = 0, size = GetFileVersionInfoSizeW(dll.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, block.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len));
    std::wstring expected = std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
                            std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
                            std::to_wstring(LOWORD(info->dwFileVersionLS));

    ComPtr<IDispatch> misc = create(L"Quillmark.Misc");
    ASSERT_TRUE(misc);
    Bstr early;
    ASSERT_EQ(misc.query<_Misc>()->Verison(early.put()), S_OK);
    EXPECT_EQ(early.str(), expected);
    Variant late;
    ASSERT_EQ(call(misc.get(), L"Verison", {}, late.put()), S_OK);
    ASSERT_EQ(late.vt(), VT_BSTR);
    EXPECT_EQ(std::wstring(V_BSTR(late.get())), expected);
    EXPECT_EQ(call(misc.get(), L"verison", {}, late.put(), nullptr, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
}

TEST(Classes, UnloadsOnlyWhenNoObjectOrLockRemains) {
    HMODULE dll = LoadLibraryW(registered_dll().c_str());
    ASSERT_TRUE(dll);
    auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll, "DllCanUnloadNow"));
    auto get_class = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(GetProcAddress(dll, "DllGetClassObject"));
    ASSERT_TRUE(can_unload && get_class);
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(get_class(CLSID_File, IID_IClassFactory, factory.put_void()), S_OK);
        ComPtr<IUnknown> obj;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, obj.put_void()), S_OK);
        ComPtr<IUnknown> aggregate;
        EXPECT_EQ(factory->CreateInstance(obj.get(), IID_IUnknown, aggregate.put_void()), CLASS_E_NOAGGREGATION);
        EXPECT_EQ(can_unload(), S_FALSE);
        obj.reset();
        factory->LockServer(TRUE);
        EXPECT_EQ(can_unload(), S_FALSE);
        factory->LockServer(FALSE);
    }
    EXPECT_EQ(can_unload(), S_OK);
    ComPtr<IClassFactory> none;
    EXPECT_EQ(get_class(IID_IDispatch, IID_IClassFactory, none.put_void()), CLASS_E_CLASSNOTAVAILABLE);
    FreeLibrary(dll);
}

TEST(ObjectNumbers, NameClassesAndModules) {
    const std::pair<long, const wchar_t*> names[] = {{1, L"Array"}, {16, L"mString"},       {26, L"clsTooltip"},
                                                     {27, L"Ini"},  {100, L""},            {101, L"basFileBase"},
                                                     {102, L"basPModule"}};
    for (auto [number, name] : names) EXPECT_EQ(qm::Get_ErrorSourceName(number), name) << number;
    for (long bad : {0L, 28L, 99L, 103L, -1L}) {
        try {
            qm::Get_ErrorSourceName(bad);
            ADD_FAILURE() << bad;
        } catch (const qm::RuntimeError& e) {
            EXPECT_EQ(e.number(), 9);
        }
    }
    EXPECT_EQ(static_cast<long>(qm::Source::Ini), 27);
    EXPECT_EQ(static_cast<long>(qm::Source::Window), 25);
}

TEST(SharedInstances, AreMadeOnFirstUseAndReused) {
    long before = qm::shared_instance_count();
    _Misc* first = qm::shared<_Misc>();
    ASSERT_TRUE(first);
    EXPECT_EQ(qm::shared<_Misc>(), first);
    EXPECT_EQ(qm::shared_instance_count(), before + 1);
    Bstr v;
    EXPECT_EQ(first->Verison(v.put()), S_OK);  // an ordinary instance

    for (auto none : {&IID__DataBase, &IID__Office, &IID__FTP}) {
        try {
            qm::shared_instance(*none);
            ADD_FAILURE();
        } catch (const qm::RuntimeError& e) {
            EXPECT_EQ(e.number(), 429);
        }
    }
    qm::release_shared_instances();
    EXPECT_EQ(qm::shared_instance_count(), 0);
}

}  // namespace
