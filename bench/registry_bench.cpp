// Registry and INI members against the system's own calls on the same data.
// Prints each ratio (ours / system). Registry data lives under
// HKCU\Software\QuillmarkTest\registry\bench, the INI file in the scratch folder
// (QM_SCRATCH) or the temporary folder; both are removed at the end.
#include <windows.h>

#include <string>

#include "bench.h"
#include "files/ini.h"
#include "files/registry.h"
#include "runtime/bstr.h"
#include "runtime/variant.h"

using qmbench::report;
using qmbench::seconds;
using qmbench::sink;

namespace {

const wchar_t kKey[] = L"Software\\QuillmarkTest\\registry\\bench";

}  // namespace

int main() {
    CoInitialize(nullptr);
    HKEY key;
    RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    const std::wstring text = L"C:\\Program Files\\Quillmark\\Beispielwert";
    RegSetValueExW(key, L"Pfad", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    for (int i = 0; i < 50; ++i) {
        std::wstring name = L"Wert" + std::to_wstring(i);
        RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    auto* reg = new qm::Registry();
    qm::Bstr path(kKey), field(L"Pfad");
    const int runs = 20000;
    double ours = seconds(runs, [&] {
        qm::Variant v;
        reg->ValueGet(HKEY_CURRENT_USER_, path.get(), field.get(), nullptr, v.put());
        sink = SysStringLen(V_BSTR(v.get()));
    });
    double theirs = seconds(runs, [&] {
        wchar_t buffer[256];
        DWORD size = sizeof(buffer);
        RegGetValueW(HKEY_CURRENT_USER, kKey, L"Pfad", RRF_RT_REG_SZ, nullptr, buffer, &size);
        sink = size;
    });
    report("ValueGet (text)", runs, ours, theirs);

    const int list_runs = 2000;
    ours = seconds(list_runs, [&] {
        SAFEARRAY* list = nullptr;
        reg->EnumValue(HKEY_CURRENT_USER_, path.get(), &list);
        sink = list ? list->rgsabound[0].cElements : 0;
        SafeArrayDestroy(list);
    });
    theirs = seconds(list_runs, [&] {
        HKEY h;
        RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &h);
        wchar_t name[256];
        BYTE data[512];
        size_t n = 0;
        for (DWORD i = 0;; ++i) {
            DWORD name_length = 256, size = sizeof(data);
            if (RegEnumValueW(h, i, name, &name_length, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
            ++n;
        }
        RegCloseKey(h);
        sink = n;
    });
    report("EnumValue (51 values)", list_runs, ours, theirs);
    reg->Release();
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\QuillmarkTest\\registry");

    std::wstring file = qmbench::work_folder() + L"registry_bench.ini";
    std::string afile(file.begin(), file.end());
    WritePrivateProfileStringA("Abschnitt", "Schluessel", "Ein Wert", afile.c_str());
    auto* ini = new qm::INI();
    qm::Bstr ini_path(file), section(L"Abschnitt"), name(L"Schluessel");
    const int ini_runs = 2000;
    ours = seconds(ini_runs, [&] {
        qm::Bstr out;
        ini->Read_INI(ini_path.get(), section.get(), name.get(), nullptr, out.put());
        sink = out.length();
    });
    theirs = seconds(ini_runs, [&] {
        char buffer[255];
        sink = GetPrivateProfileStringA("Abschnitt", "Schluessel", "", buffer, 255, afile.c_str());
    });
    report("Read_INI", ini_runs, ours, theirs);
    ini->Release();
    DeleteFileW(file.c_str());
    CoUninitialize();
    return 0;
}
