// The error reporter: every trapped error of every member ends here and goes to
// the debug window, a message box and the log file, as the diagnostics settings
// say. It never raises into the member that called it.
#include <cmath>
#include <mutex>

#include "frame/diagnostics.h"
#include "frame/error_sources.h"
#include "frame/frmdebug.h"
#include "frame/shared.h"
#include "runtime/ansi.h"
#include "runtime/app.h"
#include "runtime/contract.h"
#include "runtime/dates.h"
#include "runtime/files.h"
#include "runtime/format.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/safearray.h"

namespace qm {

namespace {

std::mutex g_mutex;
DiagnosticsSettings g_settings;
bool g_banner_written = false;  // once per process

// A report made while another one runs (a failure inside the reporter's own
// calls) is still handled; a chain of them is cut short.
thread_local int t_depth = 0;
constexpr int kMaxDepth = 4;

constexpr std::wstring_view kNoErrorText = L"<No ErrorText sumbited>";
constexpr std::wstring_view kBoxTitle = L"      DLL Error <";

// The current date and time, to the second.
DATE now_to_second() {
    DATE now = Now();
    return std::floor(now * 86400.0 + 1e-7) / 86400.0;
}

// The error text cut into pieces of 39 characters (a line break gives an empty
// piece), every piece after the first on a new line at the indent.
std::wstring wrapped(const std::wstring& text, const std::wstring& indent) {
    if (text.empty()) return std::wstring(kNoErrorText);
    SafeArray pieces(VT_BSTR);
    check(shared<_mString>()->sSplit(Bstr(text).get(), 39, pieces.put()));
    std::wstring out;
    bool first = true;
    for (const std::wstring& piece : texts_of(pieces.get())) {
        if (!first) out.append(diag::kCrLf).append(indent);
        out += piece;
        first = false;
    }
    return out;
}

std::wstring version_text() {
    Bstr v;
    check(shared<_Misc>()->Verison(v.put()));
    return std::wstring(v.view());
}

// Blank line, a rule, the banner line and another rule, written once per process
// in front of the reporter's first log entry.
std::wstring banner() {
    DATE now = now_to_second();
    const std::wstring rule(64, L'-');
    std::wstring b(diag::kCrLf);
    b.append(rule).append(diag::kCrLf);
    b.append(L"<<<<< ").append(FormatDateTime(now, DateForm::ShortDate)).append(L"/");
    b.append(FormatDateTime(now, DateForm::LongTime)).append(L" DLL-ErrorLog startet [v").append(version_text());
    b.append(L"] >>>>>").append(diag::kCrLf).append(rule).append(diag::kCrLf);
    return b;
}

void report(long object_number, const std::wstring& routine, long error_number, const std::wstring& error_text,
            const std::wstring& extra_text) {
    const DiagnosticsSettings s = diagnostics();
    if (s.log_file.empty() && !s.debug_mode) return;

    const std::wstring prefix = diag::time_prefix();
    const std::wstring indent = diag::indent_of(prefix);
    const std::wstring number = std::to_wstring(error_number);
    const std::wstring group = object_number < 100 ? L"Class: " : object_number > 100 ? L"Modul: " : L"";
    std::wstring name;
    try {
        name = Get_ErrorSourceName(object_number);
    } catch (...) {
        // A number outside the table names no object.
    }
    const std::wstring head = prefix + L"DLL ERROR <" + number + L">";

    // The debug window.
    if (s.debug_mode && !s.show_message_only) {
        try {
            std::wstring block = head;
            block.append(diag::kCrLf).append(indent).append(group).append(name).append(diag::kCrLf);
            block.append(indent).append(L"Routine: ").append(routine).append(diag::kCrLf);
            block.append(indent).append(wrapped(error_text, indent)).append(diag::kCrLf);
            if (!extra_text.empty()) block.append(indent).append(extra_text).append(diag::kCrLf).append(diag::kCrLf);
            block.resize(block.size() - diag::kCrLf.size());

            FrmDebug& window = frmDebug();
            window.show();
            window.show_log_file(s.log_file);
            window.append(block);
            window.txtDebug().refresh();
            forms::do_events();
        } catch (...) {
        }
    }

    // The message box, closed by itself after 10 seconds at the latest.
    if (s.show_message) {
        try {
            Beep();
            std::wstring title = std::wstring(kBoxTitle) + number + L">";
            std::wstring prompt = group + name + L" / Routine: " + routine;
            prompt.append(diag::kCrLf).append(diag::kCrLf).append(L"Error Description").append(diag::kCrLf);
            prompt += error_text;
            long button = MB_ICONHAND, x = -1, y = -1, closer = 10, pressed = 0;
            shared<_Dialog>()->MsgBox(0, Bstr(title).get(), Bstr(prompt).get(), &button, &x, &y, &closer, &pressed);
        } catch (...) {
        }
    }

    // The log file. An empty error text keeps the entry's time, number, object
    // and routine.
    if (!s.log_file.empty()) {
        try {
            std::wstring entry = head;
            entry.append(diag::kCrLf).append(indent).append(group).append(name).append(L" / Routine: ").append(routine);
            entry.append(diag::kCrLf).append(indent).append(error_text.empty() ? kNoErrorText : error_text);
            if (!extra_text.empty()) entry.append(diag::kCrLf).append(indent).append(extra_text);
            bool first;
            {
                std::lock_guard lock(g_mutex);
                first = !g_banner_written;
                g_banner_written = true;
            }
            if (first) entry = banner() + entry + std::wstring(diag::kCrLf);
            diag::append_line(s.log_file, entry);
        } catch (...) {
        }
    }
}

}  // namespace

DiagnosticsSettings diagnostics() {
    std::lock_guard lock(g_mutex);
    return g_settings;
}

void set_diagnostics(const DiagnosticsSettings& settings) {
    std::lock_guard lock(g_mutex);
    g_settings = settings;
}

namespace diag {

std::wstring time_prefix() {
    DATE now = now_to_second();
    return FormatDateTime(now, DateForm::ShortDate) + L" / " + FormatDateTime(now, DateForm::LongTime) + L" -> ";
}

void append_line(const std::wstring& path, std::wstring_view text) {
    if (path.empty()) raise(err::BadFileNameOrNumber);
    std::string bytes = to_ansi(text);
    bytes += "\r\n";
    HANDLE file = CreateFileW(win32_path(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) raise_file_error();
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok || written != bytes.size()) raise_file_error(ok ? ERROR_DISK_FULL : error);
}

}  // namespace diag

void Write_ErrorLog(long object_number, const std::wstring& routine, long error_number,
                    const std::wstring& error_text, const std::wstring& extra_text) {
    if (t_depth >= kMaxDepth) return;
    ++t_depth;
    try {
        report(object_number, routine, error_number, error_text, extra_text);
    } catch (...) {
    }
    --t_depth;
}

}  // namespace qm
