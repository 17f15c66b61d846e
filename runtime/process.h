// Starting programs as the runtime's Shell function does, and waiting for them
// while the calling thread's messages keep flowing.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace qm::process {

// An owned kernel handle (process, thread, pipe end).
class Handle {
public:
    Handle() noexcept = default;
    explicit Handle(HANDLE h) noexcept : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    Handle& operator=(Handle&& o) noexcept {
        reset(std::exchange(o.h_, nullptr));
        return *this;
    }
    ~Handle() { reset(); }

    void reset(HANDLE h = nullptr) noexcept {
        if (h_) CloseHandle(h_);
        h_ = h;
    }
    HANDLE get() const noexcept { return h_; }
    HANDLE* put() noexcept {
        reset();
        return &h_;
    }
    explicit operator bool() const noexcept { return h_ != nullptr; }

private:
    HANDLE h_ = nullptr;
};

struct Started {
    Handle process;
    DWORD id = 0;
};

// Starts a command line (program and arguments, no command interpreter) with a
// show-window code of the runtime's Shell (0 hidden, 1 normal, 2 minimised,
// 3 maximised, 4 normal without focus, 6 minimised without focus). Raises 5
// for another style, 53 when the program cannot be found, the mapped system
// error otherwise.
Started start(std::wstring_view command_line, long window_style);

// One round of the thread's message pump: every waiting message is dispatched.
// A quit message stops the round and stays queued; the result is then false.
bool pump() noexcept;

// Returns when the process has ended; the thread's messages are dispatched
// while it waits. A null handle returns at once.
void wait(HANDLE process) noexcept;

// A path as one argument of a command line: quoted when it holds a blank or a
// tab (a path already in quotes stays so), with the backslashes before the
// closing quote doubled so that they do not escape it. No name holds a quote:
// a path with one inside is refused with 52.
std::wstring quote(std::wstring_view path);

// Any other text (a registry key, a computer name, a message) as exactly one
// argument under the rules the C runtime and CommandLineToArgvW read: quoted
// when it is empty or holds a blank, a tab or a quote; a quote inside becomes
// \" and the backslashes before a quote, the closing one included, are doubled.
std::wstring argument(std::wstring_view text);

// A path as one word of a line of a batch file, which the command interpreter
// reads in the code page: in quotes, so that blanks and the interpreter's own
// characters stay part of it, with "%" doubled, so that nothing is expanded.
// Nothing when no quoting keeps it one word: it holds a quote or a control
// character (a line break would start a command of its own), or the code page
// holds it only as a look-alike (a fullwidth quote would be written as '"').
std::optional<std::wstring> batch_word(std::wstring_view path);

}  // namespace qm::process
