// The runtime's file statements against the system's own calls on the same data:
// Print and Line Input of many lines, Put and Get of a large Variant array, the
// Dir listing. Prints each ratio (ours / system). Works in QM_SCRATCH or the
// temporary folder.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <string>

#include "bench.h"
#include "runtime/files.h"

using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

namespace {

HANDLE open_raw(const std::wstring& path, DWORD access, DWORD creation) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, creation, 0, nullptr);
}

}  // namespace

int main() {
    const std::wstring dir = qmbench::work_folder(L"qm_files_bench");
    const std::wstring text = dir + L"lines.txt", bin = dir + L"array.bin";
    const int lines = 100000, runs = 10;
    const std::wstring line = L"Eine Zeile mit etwas Text, wie sie ein Protokoll schreibt: 0123456789";
    const std::string ansi_line = "Eine Zeile mit etwas Text, wie sie ein Protokoll schreibt: 0123456789\r\n";

    // Print, one line per statement, against one WriteFile per line.
    double ours = seconds(runs, [&] {
        qm::RtFile f(text, qm::OpenMode::Output);
        for (int i = 0; i < lines; ++i) f.Print(line);
    });
    double theirs = seconds(runs, [&] {
        HANDLE h = open_raw(text, GENERIC_WRITE, CREATE_ALWAYS);
        DWORD n;
        for (int i = 0; i < lines; ++i) WriteFile(h, ansi_line.data(), DWORD(ansi_line.size()), &n, nullptr);
        CloseHandle(h);
    });
    report("Print 100,000 lines", runs, ours, theirs);

    // Line Input of every line against one read of the file split at CR LF (the natural limit).
    ours = seconds(runs, [&] {
        qm::RtFile f(text, qm::OpenMode::Input);
        size_t n = 0;
        while (!f.Eof()) n += f.LineInput().size();
        sink = n;
    });
    theirs = seconds(runs, [&] {
        HANDLE h = open_raw(text, GENERIC_READ, OPEN_EXISTING);
        LARGE_INTEGER size;
        GetFileSizeEx(h, &size);
        std::string all(size_t(size.QuadPart), '\0');
        DWORD got;
        ReadFile(h, all.data(), DWORD(all.size()), &got, nullptr);
        CloseHandle(h);
        size_t n = 0;
        for (size_t p = 0, q; p < all.size(); p = q + 2) {
            q = all.find("\r\n", p);
            if (q == std::string::npos) q = all.size();
            int chars = MultiByteToWideChar(CP_ACP, 0, all.data() + p, int(q - p), nullptr, 0);
            std::wstring w(size_t(chars), L'\0');
            MultiByteToWideChar(CP_ACP, 0, all.data() + p, int(q - p), w.data(), chars);
            n += w.size();
        }
        sink = n;
    });
    report("Line Input 100,000 lines", runs, ours, theirs);

    // Put and Get of a Variant array of 100,000 Longs and Strings against the natural
    // limit: writing and reading the same bytes and building the same array anew.
    SAFEARRAYBOUND b{lines, 0};
    VARIANT array;
    VariantInit(&array);
    V_VT(&array) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&array) = SafeArrayCreate(VT_VARIANT, 1, &b);
    for (long i = 0; i < lines; ++i) {
        VARIANT v;
        if (i % 2) {
            V_VT(&v) = VT_I4;
            V_I4(&v) = i;
        } else {
            V_VT(&v) = VT_BSTR;
            V_BSTR(&v) = SysAllocString(L"element");
        }
        SafeArrayPutElement(V_ARRAY(&array), &i, &v);
        VariantClear(&v);
    }
    size_t stored = 0;
    ours = seconds(runs, [&] {
        DeleteFileW(bin.c_str());
        qm::RtFile f(bin, qm::OpenMode::Binary);
        f.PutVariant(array);
        stored = size_t(f.LOF());
        f.Seek(1);
        qm::Variant back = f.GetVariant();
        sink = back.vt();
    });
    std::string block(stored, 'x');
    theirs = seconds(runs, [&] {
        DeleteFileW(bin.c_str());
        HANDLE h = open_raw(bin, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        DWORD n;
        WriteFile(h, block.data(), DWORD(block.size()), &n, nullptr);
        SetFilePointer(h, 0, nullptr, FILE_BEGIN);
        ReadFile(h, block.data(), DWORD(block.size()), &n, nullptr);
        CloseHandle(h);
        SAFEARRAY* sa = SafeArrayCreate(VT_VARIANT, 1, &b);
        VARIANT* e = nullptr;
        SafeArrayAccessData(sa, reinterpret_cast<void**>(&e));
        for (long i = 0; i < lines; ++i) {
            if (i % 2) {
                V_VT(&e[i]) = VT_I4;
                V_I4(&e[i]) = i;
            } else {
                V_VT(&e[i]) = VT_BSTR;
                V_BSTR(&e[i]) = SysAllocStringLen(L"element", 7);
            }
        }
        SafeArrayUnaccessData(sa);
        SafeArrayDestroy(sa);
        sink = n;
    });
    report("Put+Get Variant(100,000)", runs, ours, theirs);
    VariantClear(&array);

    // Dir over 2,000 files against FindFirstFile/FindNextFile.
    for (int i = 0; i < 2000; ++i) {
        HANDLE h = open_raw(dir + L"f" + std::to_wstring(i) + L".dat", GENERIC_WRITE, CREATE_ALWAYS);
        CloseHandle(h);
    }
    const int dir_runs = 50;
    ours = seconds(dir_runs, [&] {
        size_t n = 0;
        for (std::wstring name = qm::Dir(dir + L"*.dat"); !name.empty(); name = qm::Dir()) ++n;
        sink = n;
    });
    theirs = seconds(dir_runs, [&] {
        WIN32_FIND_DATAW fd;
        size_t n = 0;
        HANDLE h = FindFirstFileW((dir + L"*.dat").c_str(), &fd);
        do ++n;
        while (FindNextFileW(h, &fd));
        FindClose(h);
        sink = n;
    });
    report("Dir 2,000 files", dir_runs, ours, theirs);

    for (std::wstring name = qm::Dir(dir + L"*.*"); !name.empty(); name = qm::Dir()) DeleteFileW((dir + name).c_str());
    RemoveDirectoryW(dir.c_str());
    return 0;
}
