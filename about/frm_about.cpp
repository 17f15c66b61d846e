// frmAbout: its controls, its loading and unloading, the links and mails, the
// background fade, the connection indicator and the drag.
#include "about/frm_about.h"

#include <olectl.h>

#include <cwchar>
#include <vector>

#include "files/filebase.h"
#include "frame/mycontrols.h"
#include "frame/shared.h"
#include "runtime/app.h"
#include "runtime/bstr.h"
#include "runtime/contract.h"
#include "runtime/forms/globals.h"
#include "runtime/interfaces.h"
#include "runtime/module.h"

namespace qm {

using namespace forms;

namespace {

constexpr wchar_t kAuthor[] = L"Timo Falkenrath";
constexpr wchar_t kAuthorMail[] = L"timo.falkenrath@example.com";
constexpr wchar_t kGreeting[] = L"Hallo Timo,";
constexpr wchar_t kHomePage[] = L"http://www.example.net";
constexpr wchar_t kVotePage[] = L"http://www.example.org/quelltext-werkstatt/vote?project=veltrandis";

constexpr const wchar_t* kContributors[] = {
    L"Anja Brettschneider",
    L"Bernd Kowalczyk (bernd.k@example.com)",
    L"CodeKater",
    L"Dario Feldmann (http://www.example.org/dario)",
    L"Elke Haverkamp",
    L"Falk Ostermeier",
    L"Frieda Lindqvist (frieda@example.net)",
    L"Gero Wendland",
    L"Hannes Br\u00fcckl",
    L"Ilka Sommerfeld (http://ilka.example.com)",
    L"Jannik Rauschert",
    L"Kalle Dornbusch",
    L"Lasse Winterberg (lasse@example.org)",
    L"Mira Tschentscher",
    L"NachtEule",
    L"Ole Pfannenstiel",
    L"Pia Groth (http://www.example.com/pia)",
    L"Quirin Aschauer",
    L"Rieke Vandersloot",
    L"Sandro Kliemann (sandro.k@example.net)",
    L"Tilda Hohenwarth",
    L"Ulf Brandtner",
    L"Vroni Eichhorst",
    L"Wenzel Ruppendorf (http://www.example.org/wenzel)",
    L"Xaver Stolzenbach",
    L"Yvonne Kettler (yvonne@example.com)",
    L"Zacharias Helmbrecht",
    L"BitPirat",
    L"Corinna Wagenfeld",
    L"Detlef Ambros (detlef.a@example.org)",
    L"Emil Gr\u00fcnspan",
    L"Fenja Thielscher",
    L"Gundolf Saarbeck (http://gundolf.example.net)",
    L"HexaKai",
    L"Inga Mollenhauer",
    L"Jost Prellwitz",
    L"Kira Blaschek (kira@example.net)",
    L"Leopold Wintgens",
    L"Malte Osterhus",
    L"Nele Quendt",
    L"Oskar Lemberger (http://www.example.com/oskar)",
    L"Paula Heckenrath",
    L"Rupert Zwirnmann",
    L"SchleifenHeld",
};

// Network.Get_HTMLfile: the document's text, or with show the address handed to the download dialog.
std::wstring html_file(const std::wstring& url, bool show) {
    Bstr address(url), file(L"");
    VARIANT_BOOL browser = show ? VARIANT_TRUE : VARIANT_FALSE;
    Bstr text;
    check(shared<_Network>()->Get_HTMLfile(address.in_out(), &browser, file.in_out(), text.put()));
    return text.str();
}

void play(SYSTEMSOUND sound) {
    VARIANT_BOOL played = VARIANT_FALSE;
    check(shared<_Multimedia>()->Play_SystemSound(&sound, &played));
}

void send_mail(const std::wstring& subject, const std::wstring& body) {
    VARIANT_BOOL sent = VARIANT_FALSE;
    check(shared<_Network>()->SendNewMail(Bstr(kAuthorMail).get(), Bstr(subject).get(), Bstr(body).get(), &sent));
}

void open_url(const wchar_t* url) { check(shared<_Network>()->OpenURL(Bstr(url).get(), 1)); }

FrmAbout::Links default_links() {
    FrmAbout::Links l;
    l.connected = [] {
        VARIANT_BOOL online = VARIANT_FALSE;
        check(shared<_Network>()->ConnectedToInternet(&online));
        return online != VARIANT_FALSE;
    };
    l.download = [](const std::wstring& url) { html_file(url, true); };
    l.scroll = [](IDispatch* box, const std::wstring& text) {
        RGBCOLOR fade = rgBLUE;
        long result = 0;
        check(shared<_Controls>()->PictureBox_ScrollText(&box, Bstr(text).get(), &fade, &result));
        return result;
    };
    l.home = kHomePage;
    return l;
}

}  // namespace

FrmAbout::Links& FrmAbout::links() {
    static Links l = default_links();
    return l;
}

std::wstring FrmAbout::library_folder() {
    const std::wstring& folder = links().folder;
    return AddBackslash(folder.empty() ? App::Path() : folder);
}

std::wstring FrmAbout::product_name() {
    const HMODULE module = module_handle();
    HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    HGLOBAL data = res ? LoadResource(module, res) : nullptr;
    const void* block = data ? LockResource(data) : nullptr;
    if (!block) return {};
    std::vector<BYTE> copy(static_cast<const BYTE*>(block), static_cast<const BYTE*>(block) + SizeofResource(module, res));
    struct Translation {
        WORD language, code_page;
    }* translations = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &size) ||
        size < sizeof(Translation))
        return {};
    wchar_t key[64];
    swprintf(key, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", translations->language, translations->code_page);
    wchar_t* text = nullptr;
    if (!VerQueryValueW(copy.data(), key, reinterpret_cast<void**>(&text), &size) || !text) return {};
    return std::wstring(text, wcsnlen(text, size));
}

void show_about() { predeclared<FrmAbout>().show(); }

FrmAbout::FrmAbout() {
    set_name(L"frmAbout");
    caption_ = L"About";
    border_style_ = 3;  // fixed dialog
    w_ = 7440;
    h_ = 6000;
    on.load = [this] { Form_Load(); };
    on.unload = [this](int&) { Form_Unload(); };
    on.mouse_down = [this](int button, int, float, float) { drag(button); };
}

void FrmAbout::design() {
    auto place = [](Control& c, float left, float top, float width, float height) {
        c.move(left, &top, &width, &height);
    };
    auto label = [&](const wchar_t* name, const wchar_t* caption, float left, float top, float width,
                     float height) -> Label& {
        auto& l = add<Label>(name);
        l.s_.back_style = 0;
        l.set_caption(caption);
        place(l, left, top, width, height);
        return l;
    };
    auto button = [&](const wchar_t* name, const wchar_t* caption, float left) -> Button& {
        auto& b = add<Button>(name);
        b.set_caption(caption);
        place(b, left, 5040, 1680, 390);
        return b;
    };

    auto& credits = add<PictureBox>(L"picCredits");
    place(credits, 120, 120, 3600, 3120);
    credits.set_font_name(L"Arial");
    auto& names = add<ListBox>(L"LBnames");
    place(names, 3840, 120, 3360, 1560);

    label(L"Label1", L"", 3840, 1740, 3360, 1500);  // behind the texts: a surface to drag by
    auto& product = label(L"LabelProductName", L"Veltrandis DLL", 3840, 1800, 3360, 330);
    product.set_font_size(12);
    product.set_font_flag(DISPID_FONT_BOLD, true);
    label(L"LabelVersion", L"Version", 3840, 2190, 3360, 255);
    label(L"Label4", L"Internet Connectionstate", 3840, 2520, 3360, 255);
    auto& path = label(L"LabelDLLpath", L"Path", 120, 3360, 7080, 435);
    path.s_.word_wrap = true;
    label(L"LabelHomepage", kHomePage, 120, 3870, 7080, 255);
    label(L"LabelSendNewMail", kAuthorMail, 120, 4170, 7080, 255);
    label(L"LabelVote", L"Stimme f\u00fcr diese DLL in der Quelltext-Werkstatt ab!", 120, 4470, 7080, 255);

    // The update status lies over the links while it is shown.
    auto& panel = label(L"LabelUpdate", L"", 120, 3840, 7080, 960);
    panel.s_.back_style = 1;
    panel.s_.border_style = 1;
    panel.set_back_color(0x80000018);  // tooltip background
    panel.set_visible(false);
    auto& status = label(L"LabelUpdateText", L"", 240, 4200, 6840, 255);
    status.s_.alignment = 2;
    status.set_visible(false);

    // The update button waits for the first connection check.
    button(L"ButUpdate", L"Nach Updates suchen", 120).set_enabled(false);
    button(L"BudSendBug", L"Send Bug", 1920);
    button(L"ButHistory", L"History", 3720);
    auto& exit = button(L"ButExit", L"", 5520);
    exit.set_mouse_icon(hand_icon().get());
    for (const wchar_t* name : {L"ButUpdate", L"BudSendBug", L"ButHistory", L"ButExit"}) get<Button>(name).set_mouse_pointer(99);

    for (const wchar_t* name : {L"Timer_Fade", L"CheckConnection", L"TimerLabel"}) add<Timer>(name).set_enabled(false);

    // Events.
    exit.on.click = [this] { unload(); };
    get<Button>(L"BudSendBug").on.click = [this] { BudSendBug_Click(); };
    get<Button>(L"ButHistory").on.click = [this] { ButHistory_Click(); };
    get<Button>(L"ButUpdate").on.click = [this] { ButUpdate_Click(); };
    get<Label>(L"LabelHomepage").on.click = [this] { open_url(links().home.c_str()); };
    get<Label>(L"LabelVote").on.click = [] { open_url(kVotePage); };
    get<Label>(L"LabelSendNewMail").on.click = [this] { LabelSendNewMail_Click(); };
    get<Label>(L"LabelVersion").on.click = [this] { LabelVersion_Click(); };
    get<Timer>(L"Timer_Fade").on.timer = [this] { Timer_Fade_Timer(); };
    get<Timer>(L"CheckConnection").on.timer = [this] { CheckConnection_Timer(); };
    get<Timer>(L"TimerLabel").on.timer = [this] { TimerLabel_Timer(); };
    for (const wchar_t* name : {L"Label1", L"Label4", L"LabelDLLpath", L"LabelProductName", L"picCredits"})
        control(name)->on.mouse_down = [this](int button, int, float, float) { drag(button); };
}

void FrmAbout::Form_Load() {
    digits_.clear();
    last_fade_ = 0;
    status_ticks_ = 0;
    checking_ = false;
    IDispatch* self = this;
    const std::wstring folder = library_folder();

    check(shared<_Desktop>()->SysTray_Refresh());
    VARIANT_BOOL remove = VARIANT_FALSE, done = VARIANT_FALSE;
    check(shared<_Window>()->StayOnTop(hwnd_number(), &remove, &done));
    VARIANT_BOOL exists = VARIANT_FALSE;
    long error = 0;
    check(shared<_File>()->Exist(Bstr(folder + L"History.txt").get(), &error, &exists));
    if (!exists) get<Button>(L"ButHistory").set_visible(false);
    get<Label>(L"LabelProductName").set_caption(product_name());

    Bstr version;
    check(shared<_Misc>()->Verison(version.put()));
    auto& credits = get<PictureBox>(L"picCredits");
    credits.set_tag(version.str());
    for (wchar_t c : version.view())
        if (c != L'.') digits_ += c;
    auto& version_label = get<Label>(L"LabelVersion");
    version_label.set_tag(digits_);

    const ComPtr<IPictureDisp> pointer = get<Button>(L"ButExit").mouse_icon();
    for (const wchar_t* name : {L"BudSendBug", L"ButHistory", L"ButUpdate"}) get<Button>(name).set_mouse_icon(pointer.get());
    version_label.set_caption(L"Version " + version.str());
    get<Label>(L"LabelDLLpath").set_caption(folder + App::EXEName() + L".Dll");

    cCenterInfo middle = ccMIDDLE;
    long centred = 0;
    check(shared<_Forms>()->Center(&self, &middle, &centred));
    Timer_Fade_Timer();
    if (!loaded()) return;

    for (const wchar_t* name : {L"LabelSendNewMail", L"LabelHomepage", L"LabelVote"}) {
        IDispatch* link = &get<Label>(name);
        long link_error = 0;
        VARIANT_BOOL made = VARIANT_FALSE;
        check(shared<_Network>()->Create_Hyperlink(&link, 0x00FFFF, 0xFF0000, &link_error, &made));
    }

    // The first check shows the state either way: the button alone does not tell it yet.
    show_connection(true);
    auto& connection = get<Timer>(L"CheckConnection");
    connection.set_interval(1000);
    connection.set_enabled(true);

    auto& names = get<ListBox>(L"LBnames");
    names.clear();
    for (const wchar_t* name : kContributors) names.add_item(name);

    links().scroll(&credits, credits_text());
    play(ssSYSTEMSTART);
    ANIMETNFO show = anUPERRIGHT_TO_LOWERLEFT;
    long speed = 5, animated = 0;
    check(shared<_Forms>()->Animate(&self, &show, &speed, &animated));
    if (!loaded()) return;
    auto& fade = get<Timer>(L"Timer_Fade");
    fade.set_interval(1000);
    fade.set_enabled(true);
}

std::wstring FrmAbout::credits_text() {
    std::vector<std::wstring> lines = {
        get<Label>(L"LabelProductName").caption(),
        get<PictureBox>(L"picCredits").tag(),
        L"",
        L"Zusammengetragen",
        L"& neu verfasst von",
        kAuthor,
        L"",
        L"Mein besonderer Dank geht an",
        L"Quelltext-Werkstatt",
        L"und das",
        L"Werkstatt-Forum",
        L"Codehafen",
        L"Bitschmiede",
        L"& Tastenlabor",
        L"",
        L"Alle Programmierer, die mir",
        L"in irgendeiner Weise geholfen",
        L"haben die DLL zu verwirklichen",
        std::wstring(50, L'-'),
    };
    const auto& names = get<ListBox>(L"LBnames");
    for (long i = 0, n = names.list_count(); i < n; ++i) lines.push_back(names.list(i));
    lines.insert(lines.end(), 3, L"");
    for (const wchar_t* line : {L"Wenn du eine Funktion erkennst,", L"die du geschrieben hast und",
                                L"namendlich erw\u00e4hnt werden", L"m\u00f6chtest, schreibe mir eine",
                                L"Mail mit Funktionsnamen", L"Vor- Nachname."})
        lines.push_back(line);
    lines.insert(lines.end(), 5, L"");
    std::wstring text;
    for (const auto& line : lines) text += line + L"\r\n";
    return text;
}

void FrmAbout::Form_Unload() {
    play(ssSYSTEMEXIT);
    IDispatch* self = this;
    ANIMETNFO fade_out = anFADEOUT;
    long speed = 5, animated = 0;
    check(shared<_Forms>()->Animate(&self, &fade_out, &speed, &animated));
}

void FrmAbout::BudSendBug_Click() {
    send_mail(L"Re: Bugreport (" + get<Label>(L"LabelVersion").caption() + L")", L"Folgenden Bug habe ich gefunden: ");
    play(ssMAIL);
    unload();
}

void FrmAbout::LabelSendNewMail_Click() {
    send_mail(L"Re: " + product_name() + L" (" + get<Label>(L"LabelVersion").caption() + L")", kGreeting);
    unload();
}

void FrmAbout::ButHistory_Click() {
    play(ssDEFAULT);
    Bstr path(library_folder() + L"History.txt"), none(L"");
    long style = 1;
    VARIANT_BOOL started = VARIANT_FALSE;
    check(shared<_Shell>()->Execute(path.in_out(), none.in_out(), &style, &started));
}

void FrmAbout::LabelVersion_Click() {
    long written = 0;
    check(shared<_Text>()->TextFile_WriteText(Bstr(library_folder() + L"Version.txt").get(),
                                              Bstr(get<Label>(L"LabelVersion").tag()).get(), &written));
}

void FrmAbout::Timer_Fade_Timer() {
    long colour = 0;
    do {
        check(shared<_Grafic>()->Get_RandomizedColor(&colour));
    } while (colour == last_fade_);
    IDispatch* self = this;
    short alpha = 0;
    ControlDirection direction = cdHorizontal;
    long faded = 0;
    check(shared<_Forms>()->Fade(&self, last_fade_, colour, &alpha, &direction, &faded));
    last_fade_ = colour;
}

void FrmAbout::CheckConnection_Timer() { show_connection(false); }

void FrmAbout::show_connection(bool forced) {
    // An update check keeps its button disabled until it ends.
    if (checking_) return;
    const bool online = links().connected();
    if (!loaded() || checking_) return;
    auto& update = get<Button>(L"ButUpdate");
    auto& state = get<Label>(L"Label4");
    if (online && (forced || !update.enabled())) {
        update.set_enabled(true);
        state.set_caption(L"Online");
        state.set_fore_color(0x00FF00);
    } else if (!online && (forced || update.enabled())) {
        update.set_enabled(false);
        state.set_caption(L"OFFLINE");
        state.set_fore_color(0x0000FF);
    }
}

std::wstring FrmAbout::fetch(const std::wstring& path) { return html_file(links().home + path, false); }

void FrmAbout::drag(int button) {
    if (button != 1) return;
    IDispatch* self = this;
    long moved = 0;
    check(shared<_Forms>()->FormMove(&self, &moved));
}

}  // namespace qm
