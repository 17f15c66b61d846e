// The runtime's global functions and objects that the library uses: DoEvents,
// Screen, Clipboard, LoadPicture/SavePicture, QBColor, RGB, MsgBox, InputBox
// and Shell, with the runtime's semantics and errors.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <optional>
#include <string>
#include <string_view>

#include "runtime/com_ptr.h"

namespace qm::forms {

class Form;

// Runs the thread's pending messages (timers and the client's events run
// inside); returns the number of loaded forms.
long do_events();

// Screen.
float screen_twips_per_pixel_x() noexcept;
float screen_twips_per_pixel_y() noexcept;
float screen_width() noexcept;   // twips
float screen_height() noexcept;  // twips
long screen_mouse_pointer() noexcept;
void set_screen_mouse_pointer(long pointer);  // 0 default, 1-15 system cursors, 99 the MouseIcon
void set_screen_mouse_icon(IPictureDisp* icon);
Form* screen_active_form() noexcept;  // nullptr when no form of the engine is active

// Clipboard, with the runtime's format numbers.
enum ClipboardFormat : long {
    cfText = 1, cfBitmap = 2, cfMetafile = 3, cfDIB = 8, cfPalette = 9, cfEMetafile = 14, cfFiles = 15,
    cfLink = -16640, cfRTF = -16639,
};
void clipboard_clear();
void clipboard_set_text(std::wstring_view text, long format = cfText);
std::wstring clipboard_get_text(long format = cfText);
void clipboard_set_data(IPictureDisp* picture, long format = 0);  // 0: by the picture's type
ComPtr<IPictureDisp> clipboard_get_data(long format = cfBitmap);  // nullptr when the format is absent
bool clipboard_get_format(long format);

// Pictures: LoadPicture("") gives an empty picture; SavePicture writes bitmaps
// as BMP files and icons and metafiles in their own format.
ComPtr<IPictureDisp> load_picture(std::wstring_view path = {});
void save_picture(IPictureDisp* picture, std::wstring_view path);

// Colours: QBColor 0-15 (else 5); RGB with parts above 255 taken as 255 (negative: 5).
long qb_color(long number);
long rgb_color(long red, long green, long blue);

// A standard message box owned by the thread's active window; the result is the
// button pressed (vbOK 1 ...). The default title is the library's name.
long msg_box(std::wstring_view prompt, long buttons = 0, std::wstring_view title = {});

// The runtime's input box: a "#32770" dialog with the prompt, an edit field with
// the identifier 4900, OK and Cancel; x/y in twips of the screen (centred when
// omitted). With a help file the box has a Help button (and F1) that opens the
// file at the topic context: HTML Help for ".chm" files, Windows Help for others.
// nullopt when cancelled.
std::optional<std::wstring> input_box(std::wstring_view prompt, std::wstring_view title = {},
                                      std::wstring_view default_text = {}, const float* x = nullptr,
                                      const float* y = nullptr, std::wstring_view help_file = {}, long context = 0);
constexpr int kInputBoxEditId = 4900;

// Starts a program; returns its process identifier. Window style as the runtime's
// (0 hidden, 1 normal, 2 minimized with focus, 3 maximized, 4 normal without focus,
// 6 minimized without focus); 5 for another style, 53 when the program cannot be found.
double shell(std::wstring_view command, long window_style = 2);

}  // namespace qm::forms
