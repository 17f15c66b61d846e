// File: BinCopy, the block copier, and the progress window that goes with them.
#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/filebase.h"
#include "frame/progbar.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/forms/forms.h"
#include "runtime/forms/globals.h"

namespace qm {

namespace {

constexpr size_t kBlockSize = 32768;
constexpr ULONGLONG kRedrawMs = 50;  // the progress window's shortest redraw interval

// Path compacted to the width of the progress window's message label.
std::wstring compact(forms::Label& label, const std::wstring& path) {
    IDispatch* control = &label;
    long error = 0;
    Bstr text;
    check(shared<_Controls>()->Control_CompactPath(&control, Bstr(path).get(), &error, text.put()));
    return text.str();
}

}  // namespace

File::ChunkCopier::ChunkCopier(long long largest)
    : size_(static_cast<size_t>(std::clamp<long long>(largest, 0, kChunkSize))) {
    if (size_ == 0) return;
    data_ = static_cast<char*>(VirtualAlloc(nullptr, size_, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!data_) raise(err::OutOfMemory);
}

File::ChunkCopier::~ChunkCopier() {
    if (data_) VirtualFree(data_, 0, MEM_RELEASE);
}

void File::ChunkCopier::copy(RtFile& from, RtFile& to, long long n) {
    if (n <= 0) return;
    if (static_cast<unsigned long long>(n) > size_) raise(err::InternalError);
    from.GetBytes(data_, static_cast<size_t>(n));
    // A source that ended early would give zeros: the copy must fail instead.
    if (from.Eof()) raise(err::InputPastEnd);
    to.PutBytes(data_, static_cast<size_t>(n));
}

void File::Copy_FileBlocks(long long length, RtFile& from, RtFile& to) {
    thread_local std::vector<char> buffer(kBlockSize);
    for (long long offset = 0; offset < length; offset += static_cast<long long>(kBlockSize)) {
        const size_t n = static_cast<size_t>(std::min<long long>(length - offset, kBlockSize));
        from.GetBytes(buffer.data(), n);
        // A source that ended early would give zeros: the copy must fail instead.
        if (from.Eof()) raise(err::InputPastEnd);
        to.PutBytes(buffer.data(), n);
    }
}

// Copies SourceFile into TargetDirectory under its own name, in chunks of
// 1,024,000 bytes with one yield to the message loop per chunk. The copy goes to
// a new file in the target folder that replaces an existing target (whatever its
// attributes) only once it is complete; a copy onto the source itself is refused
// (75).
//
// Each chunk moves with one read and one write through a page-aligned buffer
// made once per call: block-sized transfers cost twice the time in system calls
// and cache traffic. The optional progress window is redrawn only when the
// percentage it shows changes, at most every kRedrawMs, and once more at the
// end: drawing it costs as much as copying a chunk.
HRESULT File::BinCopy(BSTR SourceFile, BSTR TargetDirectory, VARIANT_BOOL* ShowProgress, long* ScrollColor,
                      BSTR* MessageText, BYTE* MessageTransparenz, long* result) {
    return trapped(Trap{Source::File, L"BinCopy"}, result, ErrorNumberResult{}, [&] {
        const std::wstring source(text_of(SourceFile));
        const std::wstring target =
            AddBackslash(text_of(TargetDirectory)) + source.substr(static_cast<size_t>(LastBackslashPos(source)));
        const bool progress = ShowProgress && *ShowProgress;
        const long colour = ScrollColor ? *ScrollColor : 16711680;

        if (same_file(source, target)) raise(err::PathFileAccess);
        const long long length = FileLen(source);

        ProgressWindow window;  // unloaded when the member ends, after an error too
        long long unit = 1;     // the bar counts in units that fit a Long
        if (progress) {
            window.load(L"BinCopy");
            window.form()->set_tag(L"BinCopy");
            const long hwnd = static_cast<long>(reinterpret_cast<LONG_PTR>(window.form()->hwnd()));
            check(shared<_Window>()->Set_Transparenz(hwnd, MessageTransparenz ? *MessageTransparenz : 255));
            unit = length / LONG_MAX + 1;
            window.SetOption(0, static_cast<long>(length / unit), MessageText ? text_of(*MessageText) : L"", true,
                             colour);
        }

        RtFile in(source, OpenMode::Binary, OpenAccess::Read, 3);
        ChunkCopier copier(length);
        replace_file_with(target, [&](const std::wstring& temp) {
            RtFile out(temp, OpenMode::Binary, OpenAccess::Default, 1);
            long long copied = 0;
            long shown = -1;         // the percentage on the window
            ULONGLONG drawn_at = 0;  // when the window was last redrawn
            for (long long position = 0; position <= length; position += kChunkSize) {
                if (progress && position == 0) {
                    auto& label = window.form()->get<forms::Label>(L"Message");
                    window.set_message(compact(label, source) + L"\r\n" + compact(label, target));
                }
                const long long n = std::min(length - position, kChunkSize);
                copied += n;
                copier.copy(in, out, n);
                if (progress) {
                    const long value = static_cast<long>(copied / unit);
                    const long percent = window.percent_at(value);
                    const ULONGLONG now = GetTickCount64();
                    const bool last = position + kChunkSize > length;
                    if (last || (percent != shown && now - drawn_at >= kRedrawMs)) {
                        window.SetValue(value, colour);
                        shown = percent;
                        drawn_at = now;
                    }
                }
                forms::do_events();
            }
            out.Close();
        });
        in.Close();
        return 0L;
    });
}

}  // namespace qm
