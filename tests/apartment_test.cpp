// Client processes with several apartment threads: each thread gets its own
// library state, and one thread's end leaves the others whole.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "runtime/convert.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"
#include "support.h"

using namespace qm;
using qmtest::v_long;
using qmtest::v_str;

namespace {

using Texts = std::vector<std::wstring>;

// What the worker threads found wrong (the test framework's checks are not
// for other threads).
class Findings {
public:
    void add(int thread, const std::wstring& what) {
        std::lock_guard hold(lock_);
        list_.push_back(L"thread " + std::to_wstring(thread) + L": " + what);
    }
    std::vector<std::wstring> list() {
        std::lock_guard hold(lock_);
        return list_;
    }

private:
    std::mutex lock_;
    std::vector<std::wstring> list_;
};

Variant array_of_texts(const Texts& items) {
    SafeArray a(VT_VARIANT, static_cast<long>(items.size()));
    for (long i = 0; i < static_cast<long>(items.size()); ++i) a.set(i, *v_str(items[static_cast<size_t>(i)].c_str()).get());
    return std::move(a).to_variant();
}

Texts contents(const Variant& v) { return array_of(*v.get()) ? texts_of(array_of(*v.get())) : Texts{}; }

std::wstring joined(const Texts& t) {
    std::wstring s;
    for (const auto& x : t) s += (s.empty() ? L"" : L",") + x;
    return L"(" + s + L")";
}

// Sort through the worker form's list box (or by value): the sorted texts, the
// result in *r.
Texts sorted(_Arry* arry, const Texts& items, bool by_value, long* r) {
    Variant list = array_of_texts(items);
    VARIANT_BOOL bubble = by_value ? VARIANT_TRUE : VARIANT_FALSE;
    if (arry->Sort(list.get(), &bubble, r) != S_OK) return {L"<automation error>"};
    return contents(list);
}

template <class Itf>
ComPtr<Itf> made_by_factory(REFCLSID clsid) {
    ComPtr<IClassFactory> factory;
    ComPtr<Itf> object;
    if (SUCCEEDED(CoGetClassObject(clsid, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory, factory.put_void())))
        factory->CreateInstance(nullptr, __uuidof(Itf), object.put_void());
    return object;
}

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
}

// One client thread's work for the given time: every kind of state the library
// keeps per thread, every result checked.
void client_work(int id, DWORD ms, Findings& found) {
    ComPtr<_Arry> arry = made_by_factory<_Arry>(CLSID_Arry);
    ComPtr<_Text> text = made_by_factory<_Text>(CLSID_Text);
    ComPtr<_INI> ini = made_by_factory<_INI>(CLSID_INI);
    ComPtr<_Registry> reg = made_by_factory<_Registry>(CLSID_Registry);
    ComPtr<_Mathematics> math = made_by_factory<_Mathematics>(CLSID_Mathematics);
    if (!arry || !text || !ini || !reg || !math) return found.add(id, L"class factory failed");
    const std::wstring n = std::to_wstring(id);
    const std::wstring folder = qmtest::scratch() + L"apartment_" + n + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const Bstr key(L"Software\\QuillmarkTest\\apartment\\" + n), txt(folder + L"t.txt"), inifile(folder + L"t.ini");
    const DWORD until = GetTickCount() + ms;
    for (long round = 0; round == 0 || GetTickCount() < until; ++round) {
        const std::wstring tag = n + L"." + std::to_wstring(round);
        long r = -1;
        Texts got = sorted(arry.get(), {L"c" + tag, L"a", L"b"}, false, &r);
        if (r != 0 || got != Texts{L"a", L"b", L"c" + tag}) found.add(id, L"list-box sort " + joined(got));
        got = sorted(arry.get(), {L"y" + tag, L"x" + tag, L"x"}, true, &r);
        if (r != 0 || got != Texts{L"x", L"x" + tag, L"y" + tag}) found.add(id, L"sort by value " + joined(got));

        long written = -1, error = -1;
        Bstr back;
        if (text->TextFile_WriteText(txt.get(), Bstr(L"line " + tag).get(), &written) != S_OK || written != 0 ||
            text->TextFile_Read(txt.get(), &error, back.put()) != S_OK || back.str() != L"line " + tag)
            found.add(id, L"text file " + back.str());

        VARIANT_BOOL ok = VARIANT_FALSE;
        Bstr value;
        if (ini->Write_INI(inifile.get(), Bstr(L"S").get(), Bstr(L"K").get(), Bstr(tag).get(), nullptr, &ok) != S_OK ||
            ok != VARIANT_TRUE ||
            ini->Read_INI(inifile.get(), Bstr(L"S").get(), Bstr(L"K").get(), nullptr, value.put()) != S_OK ||
            value.str() != tag)
            found.add(id, L"INI file " + value.str());

        Variant stored;
        ok = VARIANT_FALSE;
        if (reg->ValueSet(HKEY_CURRENT_USER_, key.get(), Bstr(L"v").get(), *v_str(tag.c_str()).get(), &ok) != S_OK ||
            ok != VARIANT_TRUE || reg->ValueGet(HKEY_CURRENT_USER_, key.get(), Bstr(L"v").get(), nullptr, stored.put()) != S_OK ||
            stored.vt() != VT_BSTR || std::wstring(V_BSTR(stored.get())) != tag)
            found.add(id, L"registry value");

        if (round % 4 == 0) {  // the progress window shows and hides
            long num = 30, start = 1;
            VARIANT_BOOL progress = VARIANT_TRUE;
            SAFEARRAY* sa = nullptr;
            if (math->ListPrimeFactors(&num, &start, &progress, &sa) != S_OK) {
                found.add(id, L"prime factors with progress");
            } else {
                SafeArray list = SafeArray::attach(sa, VT_I4);
                if (list.count() != 6 || list.at<long>(5) != 13) found.add(id, L"prime factors with progress");
            }
        }
        pump();
    }
}

// Waits for one of the handles while this thread's windows get their messages, as
// an apartment thread must; WAIT_TIMEOUT after ms.
DWORD wait_pumping(const std::vector<HANDLE>& handles, DWORD ms) {
    const DWORD until = GetTickCount() + ms;
    for (;;) {
        LONG left = static_cast<LONG>(until - GetTickCount());
        if (left <= 0) return WAIT_TIMEOUT;
        DWORD w = MsgWaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE,
                                            static_cast<DWORD>(left), QS_ALLINPUT);
        if (w < WAIT_OBJECT_0 + handles.size()) return w;
        pump();
    }
}

struct Client {
    int id;
    DWORD ms;
    Findings* found;
};

DWORD WINAPI client_thread(void* p) {
    auto* c = static_cast<Client*>(p);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    client_work(c->id, c->ms, *c->found);
    CoUninitialize();
    return 0;
}

// Runs the clients, at most `at_once` at a time; a client that does not end in
// time fails the run (the process ends: its threads cannot be taken back).
void run_clients(std::vector<Client>& clients, size_t at_once) {
    std::vector<HANDLE> running;
    size_t next = 0;
    const DWORD deadline = GetTickCount() + 240000;
    while (next < clients.size() || !running.empty()) {
        while (next < clients.size() && running.size() < at_once)
            running.push_back(CreateThread(nullptr, 0, client_thread, &clients[next++], 0, nullptr));
        LONG left = static_cast<LONG>(deadline - GetTickCount());
        DWORD w = wait_pumping(running, left > 0 ? static_cast<DWORD>(left) : 0);
        if (w >= WAIT_OBJECT_0 + running.size()) {
            ADD_FAILURE() << "client threads hang";
            fflush(nullptr);
            TerminateProcess(GetCurrentProcess(), 3);
        }
        CloseHandle(running[w - WAIT_OBJECT_0]);
        running.erase(running.begin() + (w - WAIT_OBJECT_0));
    }
}

long process_windows() {
    long n = 0;
    EnumWindows(
        [](HWND h, LPARAM p) CALLBACK -> BOOL {
            DWORD pid = 0;
            GetWindowThreadProcessId(h, &pid);
            if (pid == GetCurrentProcessId()) ++*reinterpret_cast<long*>(p);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&n));
    for (HWND h = nullptr; (h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr));) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        n += pid == GetCurrentProcessId();
    }
    return n;
}

long process_handles() {
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return static_cast<long>(n);
}

// Sorts through the list box on a new STA thread that then ends.
Texts sorted_on_own_thread(Texts items, long* r) {
    struct Job {
        Texts items, out;
        long* r;
    } job{std::move(items), {}, r};
    HANDLE t = CreateThread(
        nullptr, 0,
        [](void* p) CALLBACK -> DWORD {
            auto* j = static_cast<Job*>(p);
            CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
            if (ComPtr<_Arry> arry = made_by_factory<_Arry>(CLSID_Arry)) j->out = sorted(arry.get(), j->items, false, j->r);
            CoUninitialize();
            return 0;
        },
        &job, 0, nullptr);
    if (wait_pumping({t}, 60000) != WAIT_OBJECT_0) return {L"<hang>"};
    CloseHandle(t);
    return job.out;
}

TEST(ApartmentTest, SortOnASecondThreadAfterTheFirstHasEnded) {
    long r = -1;
    EXPECT_EQ(sorted_on_own_thread({L"z", L"y"}, &r), (Texts{L"y", L"z"}));
    EXPECT_EQ(r, 0);
    r = -1;
    EXPECT_EQ(sorted_on_own_thread({L"c", L"a", L"b"}, &r), (Texts{L"a", L"b", L"c"}));
    EXPECT_EQ(r, 0);
}

TEST(ApartmentTest, EightClientThreadsAtOnceComeAndGo) {
    HMODULE dll = LoadLibraryW(qmtest::registered_dll().c_str());  // kept loaded for the count below
    ASSERT_TRUE(dll);
    auto can_unload = reinterpret_cast<HRESULT(WINAPI*)()>(GetProcAddress(dll, "DllCanUnloadNow"));
    Findings found;
    // One client first, so that what the process makes once is made before the counts.
    std::vector<Client> warm_up{{99, 0, &found}};
    run_clients(warm_up, 1);
    const long windows = process_windows(), handles = process_handles();
    // Sixteen clients, eight at a time, ending at different times.
    std::vector<Client> clients;
    for (int i = 0; i < 16; ++i) clients.push_back({i, 400u + 250u * static_cast<DWORD>(i % 8), &found});
    run_clients(clients, 8);
    for (const auto& f : found.list()) ADD_FAILURE() << std::string(f.begin(), f.end());
    EXPECT_EQ(process_windows(), windows);
    EXPECT_EQ(process_handles(), handles);
    EXPECT_EQ(can_unload(), S_OK);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest\\apartment");
    FreeLibrary(dll);
}

}  // namespace
