// The runtime's printer: the installed printers and the one current printer the
// library prints on, with the runtime's model of a print position in a scale,
// a font, pages and a document that starts with the first output.
#pragma once
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>
#include <string_view>
#include <vector>

#include "runtime/com_ptr.h"

namespace qm {

// Scale modes: 1 twips, 2 points, 3 pixels, 4 characters, 5 inches, 6 millimetres,
// 7 centimetres (8 HiMetric for ScaleX and ScaleY only).
enum ScaleModes : long { smTwips = 1, smPoints, smPixels, smCharacters, smInches, smMillimeters, smCentimeters,
                         smHimetric };

struct PrinterEntry {
    std::wstring DeviceName;
    std::wstring DriverName;
    std::wstring Port;
};

// The installed printers in the system's order (local ones, then connections).
std::vector<PrinterEntry> Printers();

class Printer {
public:
    // The current printer: the system's default on first use.
    static Printer& current();

    // Makes the installed printer of that name the current one (an open document
    // is sent first); 482 when there is none of that name.
    void select(const std::wstring& device_name);

    // 482 for every member below when there is no printer.
    const std::wstring& DeviceName();
    const std::wstring& DriverName();
    const std::wstring& Port();
    HDC hDC();

    // Prints text at the print position (each line of it), then moves to the start
    // of the next line.
    void Print(std::wstring_view text);
    double CurrentX();
    double CurrentY();
    void set_CurrentX(double v);
    void set_CurrentY(double v);
    long ScaleMode() const noexcept { return scale_mode_; }
    void set_ScaleMode(long mode);  // 380 outside 1 to 7
    // The printable area in the scale.
    double ScaleWidth();
    double ScaleHeight();
    // Converts a length between two scale modes (1 to 8).
    double ScaleX(double v, long from, long to);
    double ScaleY(double v, long from, long to);
    // The size of a text in the current font, in the scale (widest line; lines).
    double TextWidth(std::wstring_view text);
    double TextHeight(std::wstring_view text);
    ComPtr<IFontDisp> Font();
    void set_Font(IFontDisp* font);  // a copy of it

    // Ends the page (the next output starts a new one); sends the document; drops it.
    void NewPage();
    void EndDoc();
    void KillDoc();

    ~Printer();

private:
    Printer() = default;
    void open();                // the device context of the current printer
    void begin_page();          // the document and the page, on the first output
    HFONT font_handle();        // the font for this device
    double units_per_inch(long mode, bool vertical);
    double convert(double v, long from, long to, bool vertical);
    SIZE extent(std::wstring_view line);

    bool chosen_ = false;
    PrinterEntry entry_;
    HDC dc_ = nullptr;
    HFONT hfont_ = nullptr;
    LOGFONTW hfont_desc_{};
    ComPtr<IFontDisp> font_;
    bool in_doc_ = false;
    bool in_page_ = false;
    long scale_mode_ = smTwips;
    double x_ = 0, y_ = 0;  // twips from the printable area's top left
};

}  // namespace qm
