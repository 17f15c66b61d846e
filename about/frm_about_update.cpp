// frmAbout: the online update check. The home page's version file is compared
// with the library's own version digits; a newer version is offered, its
// history scrolls through the credits box and the archives go to the browser's
// download dialog. The status text goes away six ticks after a check ended.
#include <string>

#include "about/frm_about.h"
#include "frame/shared.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/interfaces.h"

namespace qm {

using namespace forms;

namespace {

constexpr wchar_t kVersionFile[] = L"/Projekte/Version.txt";
constexpr wchar_t kHistoryFile[] = L"/Projekte/History.txt";
constexpr wchar_t kLibraryArchive[] = L"/Projekte/Veltrandis_DLL.zip";
constexpr wchar_t kHelpArchive[] = L"/Projekte/Veltrandis_DLL_Hilfe.zip";
constexpr long kYes = 6;

// Decimal digits within the Long range, trimmed of blanks, tabs and line ends; -1 otherwise.
long long version_number(std::wstring_view text) noexcept {
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return -1;
    long long n = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        n = n * 10 + (c - L'0');
        if (n > 0x7FFFFFFF) return -1;
    }
    return n;
}

}  // namespace

VersionReply judge_version_reply(std::wstring_view reply, std::wstring_view local_digits) noexcept {
    const long long remote = version_number(reply), local = version_number(local_digits);
    if (remote < 0 || local < 0) return VersionReply::Error;
    return remote > local ? VersionReply::Newer : VersionReply::NotNewer;
}

void FrmAbout::ButUpdate_Click() {
    if (checking_) return;
    checking_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{checking_};
    check_for_update();
}

void FrmAbout::check_for_update() {
    get<Button>(L"ButUpdate").set_enabled(false);
    // The status of an earlier check does not count down into this one.
    get<Timer>(L"TimerLabel").set_enabled(false);
    status_ticks_ = 0;
    auto& panel = get<Label>(L"LabelUpdate");
    auto& status = get<Label>(L"LabelUpdateText");
    panel.set_visible(true);
    status.set_caption(L"Hole Versionsinformationen....");
    status.set_visible(true);
    panel.zorder(0);
    status.zorder(0);
    status.refresh();
    UpdateWindow(hwnd_);

    const std::wstring reply = fetch(kVersionFile);
    if (!loaded()) return;
    switch (judge_version_reply(reply, digits_)) {
    case VersionReply::Error: return show_status(L"Fehler beim \u00fcbermittel der Versionsinformation.");
    case VersionReply::NotNewer: return show_status(L"Keine neue Version verf\u00fcgbar");
    case VersionReply::Newer: break;
    }

    // The questions run modal loops: the window may be gone after each.
    auto ask = [this](const wchar_t* prompt, const wchar_t* title, long buttons) {
        long answer = 0;
        check(shared<_Dialog>()->Ask(hwnd_number(), Bstr(prompt).get(), Bstr(title).get(), &buttons, &answer));
        return answer == kYes;
    };
    const bool update = ask(L"Eine neuere Version ist verf\u00fcgbar.\r\nSoll die neue Version geladen werden ?",
                            L"Neue Version verf\u00fcgbar", 36);
    if (!loaded()) return;
    if (update) {
        const bool help = ask(L"Soll die neue Hilfe geladen werden ?", L"Neue Hilfe verf\u00fcgbar", 4);
        if (!loaded()) return;
        auto& loading = get<Label>(L"LabelUpdateText");
        loading.set_caption(L"Lade History.....");
        loading.refresh();
        UpdateWindow(hwnd_);
        std::wstring history = fetch(kHistoryFile);
        if (!loaded()) return;
        std::erase(history, L'\t');
        links().scroll(&get<PictureBox>(L"picCredits"), history);
        get<Label>(L"LabelUpdateText").set_caption(L"Starte download...");
        links().download(links().home + kLibraryArchive);
        if (help) links().download(links().home + kHelpArchive);
        if (!loaded()) return;
    }
    get<Label>(L"LabelUpdate").set_visible(false);
    get<Label>(L"LabelUpdateText").set_visible(false);
}

void FrmAbout::show_status(const std::wstring& text) {
    get<Label>(L"LabelUpdateText").set_caption(text);
    auto& timer = get<Timer>(L"TimerLabel");
    timer.set_interval(1000);
    timer.set_enabled(true);
}

void FrmAbout::TimerLabel_Timer() {
    if (++status_ticks_ <= 5) return;
    status_ticks_ = 0;
    auto& status = get<Label>(L"LabelUpdateText");
    status.set_visible(false);
    status.set_caption(L"");
    get<Timer>(L"TimerLabel").set_enabled(false);
}

}  // namespace qm
