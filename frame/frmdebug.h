// The debug window: shows the entries of the error reporter and of Misc.ERROR,
// the log file in use, and buttons to copy the entries, open the log file in
// the system's text editor, show the system's last error text and the about box.
// The library uses its predeclared instance (frmDebug()).
#pragma once
#include <string>
#include <string_view>

#include "runtime/forms/forms.h"

namespace qm {

class FrmDebug : public forms::Form {
public:
    FrmDebug();

    // The entries' text box and the log file's path box.
    forms::TextBox& txtDebug() const { return get<forms::TextBox>(L"txtDebug"); }
    forms::TextBox& txtPath() const { return get<forms::TextBox>(L"txtPath"); }

    // Appends text directly after the present entries and puts the caret at the end.
    void append(std::wstring_view text);
    // Shows the log file's path ("<No LogFile Selected>" for none) and enables the
    // LogFile button exactly when there is one.
    void show_log_file(const std::wstring& path);

    // What the buttons do.
    void copy_entries();
    void open_log_file();
    void show_system_message();
    void show_about();

protected:
    void design() override;

private:
    void arrange();
};

// The predeclared instance (not loaded until touched).
FrmDebug& frmDebug();

}  // namespace qm
