#include "support.h"

#include <gtest/gtest.h>
#include <commctrl.h>
#include <olectl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "frame/diagnostics.h"
#include "runtime/interfaces.h"

namespace qmtest {

std::wstring scratch() {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"QM_SCRATCH", buf, MAX_PATH);
    std::wstring s = n ? std::wstring(buf, n) : std::wstring(L"C:\\qm-scratch\\");
    if (s.back() != L'\\') s += L'\\';
    CreateDirectoryW(s.c_str(), nullptr);
    return s;
}

std::wstring registered_dll() {
    wchar_t clsid[40];
    StringFromGUID2(CLSID_Misc, clsid, 40);
    wchar_t path[MAX_PATH] = {};
    LONG size = sizeof(path);
    RegQueryValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32").c_str(), path, &size);
    return path;
}

std::wstring test_name() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? info->name() : "";
    return std::wstring(name.begin(), name.end());
}

std::wstring test_folder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::string read_bytes(const std::wstring& path) {
    // Shares deletion too: a program that renames a finished file into place
    // holds it with delete access for a moment after the new name appears.
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[1 << 16];
    DWORD got;
    while (ReadFile(h, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

void write_bytes(const std::wstring& path, const std::string& bytes) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
    CloseHandle(h);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

namespace {

// Calls f with the name and attributes of each entry of the folder but . and ..
template <class F>
void each_entry(const std::wstring& folder, F&& f) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name != L"." && name != L"..") f(name, fd.dwFileAttributes);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

}  // namespace

int entries(const std::wstring& folder) {
    int n = 0;
    each_entry(folder, [&](const std::wstring&, DWORD) { ++n; });
    return n;
}

void wipe(const std::wstring& folder) {
    each_entry(folder, [&](const std::wstring& name, DWORD attributes) {
        const std::wstring path = folder + name;
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            wipe(path + L"\\");
            RemoveDirectoryW(path.c_str());
        } else {
            DeleteFileW(path.c_str());
        }
    });
}

qm::ComPtr<IDispatch> create(const wchar_t* progid) {
    CLSID clsid;
    qm::ComPtr<IDispatch> d;
    if (SUCCEEDED(CLSIDFromProgID(progid, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, d.put_void());
    return d;
}

HRESULT call(IDispatch* object, const wchar_t* name, std::initializer_list<VARIANT*> args, VARIANT* result,
             EXCEPINFO* excep, WORD flags) {
    DISPID id;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> rev;
    for (auto it = args.end(); it != args.begin();) rev.push_back(**--it);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS dp{rev.data(), nullptr, static_cast<UINT>(rev.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        dp.rgdispidNamedArgs = &put;
        dp.cNamedArgs = 1;
    }
    EXCEPINFO local{};
    UINT arg_err = 0;
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, result, excep ? excep : &local, &arg_err);
    if (!excep) {
        SysFreeString(local.bstrSource);
        SysFreeString(local.bstrDescription);
        SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

qm::Variant v_long(long v) {
    qm::Variant r;
    V_VT(r.get()) = VT_I4;
    V_I4(r.get()) = v;
    return r;
}
qm::Variant v_str(const wchar_t* s) {
    qm::Variant r;
    V_VT(r.get()) = VT_BSTR;
    V_BSTR(r.get()) = SysAllocString(s);
    return r;
}
qm::Variant v_double(double d) {
    qm::Variant r;
    V_VT(r.get()) = VT_R8;
    V_R8(r.get()) = d;
    return r;
}
qm::Variant v_bool(bool b) {
    qm::Variant r;
    V_VT(r.get()) = VT_BOOL;
    V_BOOL(r.get()) = b ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
VARIANT v_ref(qm::Variant& target) {
    VARIANT v{};
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target.get();
    return v;
}
VARIANT v_missing() {
    VARIANT v{};
    V_VT(&v) = VT_ERROR;
    V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
    return v;
}

ULONGLONG time_now() {
    FILETIME t{};
    GetSystemTimeAsFileTime(&t);
    return ULONGLONG(t.dwHighDateTime) << 32 | t.dwLowDateTime;
}

ULONGLONG started_at(HANDLE process) {
    FILETIME c{}, e{}, k{}, u{};
    if (!GetProcessTimes(process, &c, &e, &k, &u)) return ~0ULL;
    return ULONGLONG(c.dwHighDateTime) << 32 | c.dwLowDateTime;
}

PinnedPointer::PinnedPointer(POINT at) : saved_(qm::pointer_source()) {
    at_ = at;
    qm::pointer_source() = read;
}

PinnedPointer::~PinnedPointer() { qm::pointer_source() = saved_; }

std::vector<int> PinnedKeys::down_;

PinnedKeys::PinnedKeys(std::vector<int> down) : saved_(qm::key_source()) {
    down_ = std::move(down);
    qm::key_source() = read;
}

PinnedKeys::~PinnedKeys() { qm::key_source() = saved_; }

SHORT PinnedKeys::read(int key) noexcept {
    return std::find(down_.begin(), down_.end(), key) != down_.end() ? static_cast<SHORT>(0x8001) : 0;
}

SavedValue::SavedValue(HKEY root, std::wstring key, std::wstring name, REGSAM view)
    : root_(root), key_(std::move(key)), name_(std::move(name)), view_(view) {
    HKEY k;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ | view_, &k) != ERROR_SUCCESS) return;
    DWORD size = 0;
    if (RegQueryValueExW(k, name_.c_str(), nullptr, &type_, nullptr, &size) == ERROR_SUCCESS) {
        data_.resize(size);
        RegQueryValueExW(k, name_.c_str(), nullptr, &type_, reinterpret_cast<BYTE*>(data_.data()), &size);
        present_ = true;
    }
    RegCloseKey(k);
}

SavedValue::~SavedValue() {
    HKEY k;
    if (RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (present_)
        RegSetValueExW(k, name_.c_str(), 0, type_, reinterpret_cast<const BYTE*>(data_.data()),
                       static_cast<DWORD>(data_.size()));
    else
        RegDeleteValueW(k, name_.c_str());
    RegCloseKey(k);
}

void SavedValue::set(const std::wstring& text) const {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExW(root_, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view_, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, name_.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(k);
}

void SavedValue::remove() const {
    HKEY k;
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_ALL_ACCESS | view_, &k) != ERROR_SUCCESS) return;
    RegDeleteValueW(k, name_.c_str());
    RegCloseKey(k);
}

std::pair<DWORD, std::string> SavedValue::now() const {
    HKEY k;
    std::pair<DWORD, std::string> r{REG_NONE, "<missing>"};
    if (RegOpenKeyExW(root_, key_.c_str(), 0, KEY_READ | view_, &k) != ERROR_SUCCESS) return r;
    DWORD size = 0;
    if (RegQueryValueExW(k, name_.c_str(), nullptr, &r.first, nullptr, &size) == ERROR_SUCCESS) {
        r.second.resize(size);
        RegQueryValueExW(k, name_.c_str(), nullptr, &r.first, reinterpret_cast<BYTE*>(r.second.data()), &size);
    }
    RegCloseKey(k);
    return r;
}

ErrorLog::ErrorLog(Reporter reporter) : reporter_(reporter), path_(scratch() + test_name() + L".log") {
    DeleteFileW(path_.c_str());
    set(path_);
}

ErrorLog::~ErrorLog() { set(L""); }

void ErrorLog::set(const std::wstring& file) {
    if (reporter_ == linked) {
        qm::set_diagnostics({false, false, false, file});
        return;
    }
    const auto misc = create(L"Quillmark.Misc").query<_Misc>();
    if (!misc) {
        ADD_FAILURE() << "no registered Misc to report errors";
        return;
    }
    EXPECT_EQ(misc->SetDebugInfo(VARIANT_FALSE, VARIANT_FALSE, VARIANT_FALSE, qm::Bstr(file).get()), S_OK);
}

bool ErrorLog::has(const std::string& routine, long number) const {
    const std::string all = text();
    std::string tag = "<";
    tag += std::to_string(number);
    tag += '>';
    return all.find("Routine: " + routine) != std::string::npos && (number == 0 || all.find(tag) != std::string::npos);
}

long ErrorLog::count(const std::string& routine) const {
    const std::string all = text(), key = "Routine: " + routine + "\r\n";
    long n = 0;
    for (size_t at = all.find(key); at != std::string::npos; at = all.find(key, at + 1)) ++n;
    return n;
}

RecorderAsBrowser::RecorderAsBrowser()
    : app_path_(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\iexplore.exe", L""),
      own_(L"C:\\windows\\system32\\iexplore.exe"),
      aside_(scratch() + L"iexplore.aside") {
    DeleteFileW(aside_.c_str());
    EXPECT_TRUE(MoveFileW(own_.c_str(), aside_.c_str())) << "the prefix's browser cannot be set aside";
    const std::wstring copy = scratch() + L"Iexplore.exe";
    CopyFileW((test_folder() + L"qmrecorder.exe").c_str(), copy.c_str(), FALSE);
    app_path_.set(copy);
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    folder_ = before;
    SetCurrentDirectoryW(scratch().c_str());
}

RecorderAsBrowser::~RecorderAsBrowser() {
    SetCurrentDirectoryW(folder_.c_str());
    MoveFileW(aside_.c_str(), own_.c_str());
}

std::vector<std::string> recorder_lines(const std::wstring& log, size_t n) {
    std::vector<std::string> lines;
    for (int i = 0; i < 1000; ++i) {
        lines.clear();
        std::string bytes = read_bytes(log);
        if (bytes == "<missing>") bytes.clear();
        for (size_t at = 0, end; (end = bytes.find('\n', at)) != bytes.npos; at = end + 1)
            lines.push_back(bytes.substr(at, end - at));
        if (lines.size() >= n) break;
        Sleep(10);
    }
    return lines;
}

CaptionDrags::CaptionDrags(HWND window) : window_(window) {
    EXPECT_TRUE(SetWindowSubclass(window, proc, 0x3A7, reinterpret_cast<DWORD_PTR>(this)));
}

CaptionDrags::~CaptionDrags() { RemoveWindowSubclass(window_, proc, 0x3A7); }

LRESULT CALLBACK CaptionDrags::proc(HWND window, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
    if (msg != WM_NCLBUTTONDOWN) return DefSubclassProc(window, msg, wp, lp);
    reinterpret_cast<CaptionDrags*>(self)->seen_.push_back({wp, {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, GetCapture()});
    return 0;
}

std::string CaptionDrags::fault(POINT from) const {
    if (seen_.size() != 1) return std::to_string(seen_.size()) + " requests";
    const Drag& d = seen_[0];
    const auto point = [](POINT p) { return std::to_string(p.x) + "," + std::to_string(p.y); };
    if (d.hit != HTCAPTION) return "part " + std::to_string(d.hit);
    if (d.capture) return "the mouse still captured";
    if (d.at.x != from.x || d.at.y != from.y) return "from " + point(d.at) + ", not " + point(from);
    return "";
}

qm::ComPtr<IPictureDisp> metafile_picture(long w, long h) {
    HDC meta = CreateMetaFileW(nullptr);
    Rectangle(meta, 0, 0, 10, 10);
    PICTDESC desc{sizeof(desc), PICTYPE_METAFILE};
    desc.wmf.hmeta = CloseMetaFile(meta);
    desc.wmf.xExt = w;
    desc.wmf.yExt = h;
    qm::ComPtr<IPictureDisp> picture;
    EXPECT_EQ(OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, picture.put_void()), S_OK);
    return picture;
}

void PrintTo(const Launch& launch, std::ostream* out) {
    *out << launch.program << " (show " << launch.show << ")";
    for (const std::string& arg : launch.args) *out << " [" << arg << "]";
}

std::vector<Launch> recorder_launches(const std::wstring& log, size_t n) {
    std::vector<Launch> all;
    for (const std::string& line : recorder_lines(log, n)) {
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            fields.push_back(line.substr(from, tab - from));
        fields.push_back(line.substr(from));
        Launch launch{fields[0], fields.size() > 1 ? std::stoi(fields[1]) : 0, {}};
        launch.args.assign(fields.begin() + std::min<size_t>(fields.size(), 3), fields.end());
        all.push_back(std::move(launch));
    }
    std::sort(all.begin(), all.end());
    return all;
}

}  // namespace qmtest
