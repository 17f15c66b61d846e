#include "files/office.h"

#include <string>

#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/latebind.h"
#include "runtime/process.h"

namespace qm {

namespace {

// The program file of each application, by OfficeApplication.
constexpr const wchar_t* kPrograms[] = {L"MSACCESS.EXE", L"Winword.exe",  L"Excel.exe",
                                        L"OUTLOOK.EXE",  L"PowerPnt.exe", L"frontpg.exe"};

// The program's full path from its App Paths entry ("" when it has none).
std::wstring program_path(long app) {
    if (app < 0 || app > 5) return {};
    std::wstring folder;
    late::skipping_errors([&] {
        Variant value;
        const std::wstring key =
            std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + kPrograms[app];
        check(shared<_Registry>()->ValueGet(HKEY_LOCAL_MACHINE_, Bstr(key).get(), Bstr(L"Path").get(), nullptr,
                                            value.put()));
        if (value.vt() == VT_BSTR) folder.assign(V_BSTR(value.get()), SysStringLen(V_BSTR(value.get())));
    });
    return folder.empty() ? folder : AddBackslash(folder) + kPrograms[app];
}

// Starts the program, with the document when one is given, maximised with focus
// and without waiting; false on any failure (a path that cannot be one argument
// included).
bool start(const std::wstring& program, const std::wstring* document = nullptr) {
    return late::skipping_errors([&] {
        std::wstring line = process::quote(program);
        if (document) line += L" " + process::quote(*document);
        process::start(line, 3);
    });
}

}  // namespace

HRESULT Office::OfficeApp(OfficeApplication* App, OfficeCommand* Command, BSTR* DocumentPath, BSTR* result) {
    return untrapped(result, [&] {
        const long app = App ? static_cast<long>(*App) : 0;
        switch (Command ? static_cast<long>(*Command) : 0) {
        case oaGETPATH: return Bstr(program_path(app));
        case oaISINSTALLED: return Bstr(program_path(app).empty() ? L"False" : L"True");
        case oaOPENDOCUMENT: {
            const std::wstring program = program_path(app);
            std::wstring document(DocumentPath ? text_of(*DocumentPath) : std::wstring_view());
            // The caller's path becomes its short form where it has one; a path
            // without one (a missing document) is passed on as given.
            Bstr short_path;
            late::skipping_errors(
                [&] { check(shared<_File>()->Get_ShortPath(Bstr(document).get(), short_path.put())); });
            if (!short_path.empty() && DocumentPath) {
                document = short_path.str();
                detail::store(DocumentPath, Bstr(document));
            }
            if (program.empty()) return Bstr(L"False");
            return Bstr(start(program, &document) ? L"True" : L"False");
        }
        case oaRUN: {
            const std::wstring program = program_path(app);
            if (program.empty()) return Bstr(L"False");
            return Bstr(start(program) ? L"True" : L"False");
        }
        default: return Bstr();
        }
    });
}

HRESULT Office::Word_PrintDocument(BSTR DocPath, long* result) {
    return trapped(Trap{Source::Office, L"Word_PrintDocument"}, result, ErrorNumberResult{}, [&] {
        // A missing document is a failure, and the word processor is not started for it.
        VARIANT_BOOL exists = VARIANT_FALSE;
        check(shared<_File>()->Exist(DocPath, nullptr, &exists));
        if (!exists) raise(err::FileNotFound);
        ComPtr<IDispatch> word;
        // Whatever happened, the word processor is asked to quit (its errors skipped).
        struct Quit {
            ComPtr<IDispatch>& word;
            ~Quit() {
                late::skipping_errors([&] {
                    late::call(late::object(late::get(word.get(), L"Application")).get(), L"Quit");
                });
            }
        } quit{word};
        word = late::create(L"Word.Application");
        late::put(word.get(), L"Visible", Variant(false));
        ComPtr<IDispatch> documents = late::object(late::get(word.get(), L"Documents"));
        late::call(documents.get(), L"Open", {Variant(text_of(DocPath)), Variant::missing(), Variant(true)});
        late::call(word.get(), L"PrintOut");
        return 0L;
    });
}

}  // namespace qm
