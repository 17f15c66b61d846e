#include "class_runs.h"

#include <algorithm>
#include <cstdio>

#include "runtime/interfaces.h"
#include "support.h"

namespace qmtest {

namespace {

constexpr DWORD kSlow = 3000;  // calls slower than this are listed
constexpr int kChildren = 4;   // classes at a time

std::vector<std::wstring> classes() {
    std::vector<std::wstring> out;
    qm::ComPtr<ITypeLib> lib;
    if (FAILED(LoadRegTypeLib(LIBID_Quillmark, 1, 0, LOCALE_NEUTRAL, lib.put()))) return out;
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind;
        BSTR name = nullptr;
        if (SUCCEEDED(lib->GetTypeInfoType(i, &kind)) && kind == TKIND_COCLASS &&
            SUCCEEDED(lib->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr)))
            out.emplace_back(name);
        SysFreeString(name);
    }
    return out;
}

std::string narrow(const std::wstring& w) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

// One class's run, over as many children as its crashes and hangs take.
struct ClassRun {
    std::wstring name, progress, mode;
    long next = 0, calls = 0, reached = 0, segment_reached = 0;
    HANDLE process = nullptr;
    LARGE_INTEGER offset{};
    std::string pending, current, note;  // a partial line; the call under way
    DWORD since = 0, started = 0;
    bool finished = false;

    bool start(std::vector<std::string>& faults) {
        std::wstring cmd = L"\"" + test_folder() + L"qmhostile.exe\" " + name + L" " + std::to_wstring(next) + L" \"" +
                           progress + L"\" " + mode;
        STARTUPINFOW si{sizeof(si)};
        PROCESS_INFORMATION pi{};
        // A start that fails is tried twice more before it counts: the child is the
        // test's own program, and what is under test is what it calls.
        bool started = false;
        for (int attempt = 0; attempt < 3 && !started; ++attempt) {
            if (attempt) Sleep(500);
            started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
        }
        if (!started) {
            faults.push_back(narrow(name) + ": the child does not start (error " + std::to_string(GetLastError()) + ")");
            finished = true;
            return false;
        }
        CloseHandle(pi.hThread);
        process = pi.hProcess;
        current.clear();
        note.clear();
        segment_reached = 0;
        since = GetTickCount();
        return true;
    }

    // Reads what the child has written since the last look.
    void read(ClassRunsResult& out, std::vector<std::string>& slow) {
        HANDLE h = CreateFileW(progress.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        SetFilePointerEx(h, offset, nullptr, FILE_BEGIN);
        char buf[1 << 16];
        DWORD got;
        while (ReadFile(h, buf, sizeof(buf), &got, nullptr) && got) {
            offset.QuadPart += got;
            pending.append(buf, got);
        }
        CloseHandle(h);
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            const DWORD now = GetTickCount();
            if (!current.empty() && now - since > kSlow)
                slow.push_back(current + " " + std::to_string(now - since) + " ms");
            if (line.rfind("done", 0) == 0) {
                finished = true;
                long last = 0;
                std::sscanf(line.c_str(), "done %ld %ld", &calls, &last);
                reached += last;
            } else if (line.rfind("crash", 0) == 0) {
                note = line;
            } else if (line.rfind("leak\t", 0) == 0) {
                out.faults.push_back(line.substr(5));
            } else if (line.find('\t') != std::string::npos) {
                current = line.substr(0, line.rfind('\t'));
                segment_reached = std::stol(line.substr(line.rfind('\t') + 1));
                since = now;
            } else {
                note = line;
            }
        }
    }

    long current_index() const { return current.empty() ? -1 : std::stol(current); }
};

}  // namespace

ClassRunsResult run_classes(const wchar_t* mode, DWORD call_limit, DWORD run_limit) {
    ClassRunsResult out;
    const std::vector<std::wstring> names = classes();
    if (names.size() != 27u) {
        out.faults.push_back("the type library names " + std::to_string(names.size()) + " classes, not 27");
        return out;
    }
    const std::wstring folder = scratch() + L"hostile\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t only[512] = {};
    GetEnvironmentVariableW(L"QM_HOSTILE_ONLY", only, 512);
    const std::wstring wanted = std::wstring(L",") + only + L",";
    std::vector<ClassRun> runs;
    for (const auto& n : names) {
        if (*only && wanted.find(L"," + n + L",") == std::wstring::npos) continue;
        ClassRun r;
        r.name = n;
        r.mode = mode;
        r.progress = folder + n + (*mode ? L"." + std::wstring(mode) : L"") + L".progress";
        DeleteFileW(r.progress.c_str());
        runs.push_back(std::move(r));
    }
    // The registry's class runs last and alone: what it may do to the registry
    // must not keep the other classes from being created.
    std::stable_partition(runs.begin(), runs.end(), [](const ClassRun& r) { return r.name != L"Registry"; });

    std::vector<std::string> slow;
    const DWORD begin = GetTickCount();
    size_t queued = 0;
    auto active = [&] { return std::count_if(runs.begin(), runs.end(), [](auto& r) { return r.process != nullptr; }); };
    while (GetTickCount() - begin < run_limit) {
        while (queued < runs.size() && active() < kChildren &&
               (runs[queued].name != L"Registry" || active() == 0)) {
            runs[queued].started = GetTickCount();
            runs[queued++].start(out.faults);
        }
        if (queued == runs.size() && active() == 0) break;
        Sleep(100);
        for (ClassRun& r : runs) {
            if (!r.process) continue;
            r.read(out, slow);
            const bool ended = WaitForSingleObject(r.process, 0) == WAIT_OBJECT_0;
            if (ended) r.read(out, slow);
            const bool hung = !ended && GetTickCount() - r.since > call_limit;
            if (!ended && !hung) continue;
            if (hung) {
                TerminateProcess(r.process, 1);
                WaitForSingleObject(r.process, 5000);
            }
            DWORD code = 0;
            GetExitCodeProcess(r.process, &code);
            CloseHandle(r.process);
            r.process = nullptr;
            if (r.finished) {
                std::printf("%s: %ld calls (%ld reached the member) in %lu ms\n", narrow(r.name).c_str(), r.calls,
                            r.reached, GetTickCount() - r.started);
                continue;
            }
            if (r.current.empty()) {
                out.faults.push_back(narrow(r.name) + ": the child made no call: " + r.note);
                continue;
            }
            out.faults.push_back((hung ? "hang: " : "crash: ") + r.current + (r.note.empty() ? "" : " (" + r.note + ")") +
                                 (hung ? "" : " exit code " + std::to_string(code)));
            r.next = r.current_index() + 1;
            r.reached += r.segment_reached;
            r.start(out.faults);
        }
    }
    for (ClassRun& r : runs)
        if (r.process) {
            TerminateProcess(r.process, 1);
            CloseHandle(r.process);
            out.faults.push_back(narrow(r.name) + ": not done in time, at " + r.current);
        }
    std::printf("whole run: %lu ms\n", GetTickCount() - begin);
    for (const auto& s : slow) std::printf("slow: %s\n", s.c_str());
    out.all_started = queued == runs.size();
    return out;
}

}  // namespace qmtest
