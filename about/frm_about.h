// frmAbout: the library's about window. It shows the product, version and
// library path, the contributors and a scrolling credits text, three hyperlink
// labels, an internet connection indicator, a bug-report mail button, the local
// history and the online update check against the library's home page. Its
// background fades to a new colour every second, it stays on top and it is
// dragged by its surface.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "runtime/forms/forms.h"

namespace qm {

// Shows the predeclared about window modeless, without an owner, and returns at
// once; while it is open the same window is shown again (no second load).
void show_about();

// What the home page's version file says against the local version digits.
// Both are decimal digits within the Long range once blanks, tabs and line
// ends around them are trimmed; anything else cannot be compared.
enum class VersionReply { Error, NotNewer, Newer };
VersionReply judge_version_reply(std::wstring_view reply, std::wstring_view local_digits) noexcept;

class FrmAbout : public forms::Form {
public:
    FrmAbout();

    // The window's ways out of the process, replaceable as a whole (tests put
    // stand-ins here and the saved copy back).
    struct Links {
        std::function<bool()> connected;                       // the internet connection state
        std::function<void(const std::wstring& url)> download;  // hands an address to the download dialog
        std::function<long(IDispatch* box, const std::wstring& text)> scroll;  // starts a credits scroll
        std::wstring home;    // the home page's address, without a trailing "/"
        std::wstring folder;  // the library's folder; empty: the library file's own
    };
    static Links& links();

    // The library's folder, with a trailing backslash.
    static std::wstring library_folder();
    // The product name of the library's version resource ("" without one).
    static std::wstring product_name();
    // The credits text: the fixed lines around the contributors, each ending in CR LF.
    std::wstring credits_text();

    long last_fade_colour() const noexcept { return last_fade_; }
    const std::wstring& version_digits() const noexcept { return digits_; }

protected:
    void design() override;

private:
    void Form_Load();
    void Form_Unload();
    void BudSendBug_Click();
    void ButHistory_Click();
    void ButUpdate_Click();
    void LabelSendNewMail_Click();
    void LabelVersion_Click();
    void Timer_Fade_Timer();
    void CheckConnection_Timer();
    // The indicator follows the connection; forced, it shows the state whatever the button shows.
    void show_connection(bool forced);
    void TimerLabel_Timer();
    void drag(int button);

    // The update check's steps.
    void check_for_update();
    void show_status(const std::wstring& text);  // the status text, hidden again by TimerLabel
    std::wstring fetch(const std::wstring& path);

    long hwnd_number() const noexcept { return static_cast<long>(reinterpret_cast<LONG_PTR>(hwnd_)); }

    std::wstring digits_;  // the version text without its points
    long last_fade_ = 0;   // the colour the background faded to last time
    long status_ticks_ = 0;
    bool checking_ = false;  // an update check is running
};

}  // namespace qm
