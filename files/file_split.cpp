// File: a file cut into numbered parts (base.001, base.002, ...) with the batch
// line that joins them again by the command interpreter's copy, and the parts
// joined into one file. Both hold the runtime file numbers 3 (read) and 1
// (written), as BinCopy does, so only one of the three runs at a time.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "files/file.h"
#include "files/filebase.h"
#include "frame/shared.h"
#include "runtime/contract.h"
#include "runtime/files.h"
#include "runtime/forms/globals.h"
#include "runtime/process.h"

namespace qm {

namespace {

constexpr long kReadNumber = 3, kWriteNumber = 1;

// base & Format(n, "000").
std::wstring part_name(std::wstring_view base, long long n) {
    std::wstring digits = std::to_wstring(n);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), L'0');
    return std::wstring(base) + digits;
}

std::wstring name_of(std::wstring_view path) {
    return std::wstring(path.substr(static_cast<size_t>(LastBackslashPos(path))));
}

// A name as the batch line takes it: one with a blank, a separator or a
// character the command interpreter acts on is quoted, its "%" doubled, so it
// stays one name and runs nothing; plain names stay as they are. Nothing when
// no quoting keeps it one name in the batch's code page.
std::optional<std::wstring> batch_name(std::wstring_view name) {
    std::optional<std::wstring> word = process::batch_word(name);
    if (word && name.find_first_of(L" \t&|<>^()%!,;=+") == std::wstring_view::npos) return std::wstring(name);
    return word;
}

// The batch line that joins the parts into the file: "copy /b" with the part
// names joined by " + ", then the file's name; nothing when a name cannot be
// written into it.
std::optional<std::wstring> join_line(std::wstring_view base, long long parts, std::wstring_view source) {
    std::wstring line = L"copy /b";
    for (long long n = 1; n <= parts + 1; ++n) {
        const std::optional<std::wstring> name = batch_name(n <= parts ? name_of(part_name(base, n)) : name_of(source));
        if (!name) return std::nullopt;
        line += (n == 1 || n > parts ? L" " : L" + ") + *name;
    }
    return line;
}

void set_text(BSTR* out, std::wstring_view text) {
    Bstr value(text);
    SysFreeString(*out);
    *out = value.detach();
}

}  // namespace

// Parts of KBperFile KB each, the last holding the rest (empty when the length
// is an exact multiple). 0 done (also for KBperFile <= 0, doing nothing); -1 File
// missing; -2 File shorter than one part; -3 the batch file was not written
// (nothing is, when a name cannot be written into its line); else the run-time
// error number. A part or batch name that names File itself is refused (75)
// before anything is written.
HRESULT File::Split(BSTR File, long KBperFile, BSTR* OutputFile, VARIANT_BOOL* CreateBatch, long* result) {
    return trapped(Trap{Source::File, L"Split", nullptr, std::wstring(text_of(File))}, result, ErrorNumberResult{},
                   [&]() -> long {
                       const long long part_size = static_cast<long long>(KBperFile) * 1024;
                       if (part_size < 1) return 0;
                       const std::wstring source(text_of(File));
                       if (!exists(source)) return -1;
                       const long long length = FileLen(source);
                       if (length < part_size) return -2;

                       const std::wstring_view wanted = OutputFile ? text_of(*OutputFile) : std::wstring_view();
                       std::wstring base;
                       if (!wanted.empty()) {
                           base = std::wstring(wanted) + L".";
                       } else {
                           const size_t dot = source.rfind(L'.');
                           base = dot == std::wstring::npos ? source + L"." : source.substr(0, dot + 1);
                       }
                       if (OutputFile) set_text(OutputFile, base);

                       const long long parts = length / part_size + 1;
                       const bool batch = CreateBatch && *CreateBatch;
                       for (long long n = 1; n <= parts; ++n)
                           if (same_file(part_name(base, n), source)) raise(err::PathFileAccess);
                       if (batch && same_file(base + L"Bat", source)) raise(err::PathFileAccess);

                       // The batch line is made first: one that cannot be written leaves
                       // everything as it was.
                       std::optional<std::wstring> line;
                       if (batch && !(line = join_line(base, parts, source))) return -3;

                       RtFile in(source, OpenMode::Binary, OpenAccess::Read, kReadNumber);
                       ChunkCopier copier(part_size);
                       for (long long n = 1, position = 0; n <= parts; ++n, position += part_size) {
                           const std::wstring part = part_name(base, n);
                           if (exists(part)) KillFile(part);
                           RtFile out(part, OpenMode::Binary, OpenAccess::Default, kWriteNumber);
                           for (long long left = std::min(length - position, part_size); left > 0;) {
                               const long long chunk = std::min(left, kChunkSize);
                               copier.copy(in, out, chunk);
                               left -= chunk;
                           }
                           out.Close();
                       }
                       in.Close();
                       if (!batch) return 0;
                       long written = -1;
                       check(shared<_Text>()->TextFile_WriteText(Bstr(base + L"Bat").get(), Bstr(*line).get(),
                                                                 &written));
                       return written == 0 ? 0 : -3;
                   });
}

// Joins StartFile (name.001) and the parts after it, up to the first missing
// one, into OutputFile (name.out when empty). 0 done; -1 StartFile missing; -2
// StartFile does not end with ".001"; -3 StartFile empty; -4 no part 2; else the
// run-time error number (75 when OutputFile names a part). The output is made
// beside OutputFile and takes its place only when complete, so a refused or
// failed join leaves an existing OutputFile as it was.
HRESULT File::Join(BSTR StartFile, BSTR* OutputFile, long* result) {
    return trapped(Trap{Source::File, L"Join"}, result, ErrorNumberResult{}, [&]() -> long {
        const std::wstring start(text_of(StartFile));
        if (!exists(start)) return -1;
        if (!start.ends_with(L".001")) return -2;
        if (FileLen(start) == 0) return -3;
        const std::wstring base = start.substr(0, start.size() - 3);
        std::wstring output(OutputFile ? text_of(*OutputFile) : std::wstring_view());
        if (output.empty()) {
            output = base + L"out";
            if (OutputFile) set_text(OutputFile, output);
        }
        if (!exists(base + L"002")) return -4;

        // The parts up to the first missing one; a part that is there but cannot
        // be read is an error, not the end.
        std::vector<std::wstring> parts;
        for (long long n = 1;; ++n) {
            std::wstring part = part_name(base, n);
            long error = 0;
            if (!exists(part, &error)) {
                if (error == err::FileNotFound) break;
                raise(error);
            }
            if (same_file(part, output)) raise(err::PathFileAccess);
            parts.push_back(std::move(part));
        }

        replace_file_with(output, [&](const std::wstring& temp) {
            RtFile out(temp, OpenMode::Binary, OpenAccess::Default, kWriteNumber);
            ChunkCopier copier(kChunkSize);
            for (const std::wstring& part : parts) {
                RtFile in(part, OpenMode::Binary, OpenAccess::Read, kReadNumber);
                const long long length = in.LOF();
                for (long long position = 0; position <= length; position += kChunkSize) {
                    copier.copy(in, out, std::min(length - position, kChunkSize));
                    forms::do_events();
                }
                in.Close();
            }
            out.Close();
        });
        return 0;
    });
}

}  // namespace qm
